# cmake -DSRC=<dir with *.xml> -DOUT=<file.cpp> -P embed.cmake
set(files pascal cpp basic js)
set(body "// Generated from resources/grammars by tools/grammars; do not edit.\n#include \"script/ks_grammars.h\"\n\nconst char* const ksBuiltinGrammars[] = {\n")
foreach(f ${files})
  file(READ ${SRC}/${f}.xml text)
  string(APPEND body "    R\"KSGRAMMAR(${text})KSGRAMMAR\",\n")
endforeach()
string(APPEND body "    nullptr};\n")
file(WRITE ${OUT} "${body}")
