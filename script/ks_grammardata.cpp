// Generated from resources/grammars by tools/grammars; do not edit.
#include "script/ks_grammars.h"

const char* const ksBuiltinGrammars[] = {
    R"KSGRAMMAR(<?xml version="1.0"?>
<language text="PascalScript">
<parser>
<identchars text="_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"/>
<commentline1 text="//"/>
<commentblock1 text="{,}"/>
<commentblock2 text="(*,*)"/>
<stringquotes text="'"/>
<hexsequence text="$"/>
<keywords>
<and/><array/><begin/><break/><case/><const/><continue/><div/><do/><downto/><else/><end/><except/><exit/><finally/><for/><function/><goto/><if/><in/><is/><label/><mod/><not/><of/><or/><procedure/><program/><repeat/><shl/><shr/><then/><to/><try/><until/><uses/><var/><while/><with/><xor/>
</keywords>
<errors>
<err1 text="Identifier expected"/>
<err2 text="Expression expected"/>
<err3 text="Statement expected"/>
<err4 text="':' expected"/>
<err5 text="';' expected"/>
<err6 text="'.' expected"/>
<err7 text="')' expected"/>
<err8 text="']' expected"/>
<err9 text="'=' expected"/>
<err10 text="'BEGIN' expected"/>
<err11 text="'END' expected"/>
<err12 text="'OF' expected"/>
<err13 text="'THEN' expected"/>
<err14 text="'UNTIL' expected"/>
<err15 text="'TO' or 'DOWNTO' expected"/>
<err16 text="'DO' expected"/>
<err17 text="'FINALLY' or 'EXCEPT' expected"/>
<err18 text="'[' expected"/>
<err19 text="'..' expected"/>
<err20 text="'&#62;' expected"/>
</errors>
</parser>
<types/>
<empty/>
<program>
<optional><keyword text="program"/><ident err="err1"/><char text=";" err="err5"/></optional>
<optional><usesclause/></optional>
<block/>
<char text="." err="err6"/>
</program>
<usesclause node="uses">
<keyword text="uses"/>
<loop text=","><string add="file" err="err1"/></loop>
<char text=";" err="err5"/>
</usesclause>
<block>
<optionalloop><declsection/></optionalloop>
<compoundstmt err="err10"/>
</block>
<declsection>
<switch><constsection/><varsection/><proceduredeclsection/></switch>
</declsection>
<constsection>
<keyword text="const"/>
<loop><constantdecl/></loop>
</constsection>
<constantdecl node="const">
<ident add="ident" err="err1" term="1"/>
<char text="=" err="err9"/>
<expression err="err2"/>
<char text=";" err="err5"/>
</constantdecl>
<varsection>
<keyword text="var"/>
<loop><varlist/><char text=";" err="err5"/></loop>
</varsection>
<varlist node="var">
<loop text=","><ident add="ident" err="err1" term="1"/></loop>
<char text=":" err="err4"/>
<typeident err="err1"/>
<optional><initvalue/></optional>
</varlist>
<typeident>
<optional><array/></optional>
<ident add="type"/>
</typeident>
<array node="array">
<keyword text="array"/>
<optional><char text="["/><loop text=","><arraydim err="err2"/></loop><char text="]" err="err8"/></optional>
<keyword text="of" err="err12"/>
</array>
<arraydim node="dim">
<expression/>
<optional><char text="."/><char text="." skip="0"/><expression/></optional>
</arraydim>
<initvalue node="init">
<char text="="/>
<expression err="err2"/>
</initvalue>
<expression node="expr">
<simpleexpression/>
<optionalloop><relop/><simpleexpression/></optionalloop>
</expression>
<simpleexpression>
<optional><char text="-" add="op" addtext="unminus"/></optional>
<term/>
<optionalloop><addop/><term/></optionalloop>
</simpleexpression>
<term>
<factor/>
<optionalloop><mulop/><factor/></optionalloop>
</term>
<factor>
<switch>
<designator/>
<number add="number"/>
<string add="string"/>
<sequence><char text="(" add="op"/><expression err="err2"/><char text=")" add="op" err="err7"/></sequence>
<sequence><keyword text="not" add="op" addtext="not"/><factor err="err2"/></sequence>
<sequence><char text="["/><setconstructor err="err2"/><char text="]" err="err8"/></sequence>
<sequence><char text="&#60;"/><lystring/><char text="&#62;" err="err20"/></sequence>
</switch>
</factor>
<setconstructor node="set">
<loop text=","><setnode/></loop>
</setconstructor>
<setnode>
<expression/>
<optional><char text="." add="range"/><char text="." err="err6"/><expression/></optional>
</setnode>
<relop>
<switch>
<sequence><char text="&#62;"/><char text="=" add="op" addtext="&#62;=" skip="0"/></sequence>
<sequence><char text="&#60;"/><char text="&#62;" add="op" addtext="&#60;&#62;" skip="0"/></sequence>
<sequence><char text="&#60;"/><char text="=" add="op" addtext="&#60;=" skip="0"/></sequence>
<char text="&#62;" add="op" addtext="&#62;"/>
<char text="&#60;" add="op" addtext="&#60;"/>
<char text="=" add="op" addtext="="/>
<keyword text="in" add="op" addtext="in"/>
<keyword text="is" add="op" addtext="is"/>
</switch>
</relop>
<addop>
<switch>
<char text="+" add="op"/>
<char text="-" add="op"/>
<keyword text="or" add="op" addtext="or"/>
<keyword text="xor" add="op" addtext="xor"/>
</switch>
</addop>
<mulop>
<switch>
<char text="*" add="op"/>
<char text="/" add="op"/>
<keyword text="div" add="op" addtext="div"/>
<keyword text="mod" add="op" addtext="mod"/>
<keyword text="and" add="op" addtext="and"/>
<keyword text="shl" add="op" addtext="shl"/>
<keyword text="shr" add="op" addtext="shr"/>
</switch>
</mulop>
<designator node="dsgn">
<optional><char text="@" add="addr"/></optional>
<ident add="node"/>
<optionalloop>
<switch>
<sequence><char text="."/><keyword add="node" err="err1"/></sequence>
<sequence><char text="[" add="node"/><exprlist err="err2"/><char text="]" err="err8"/></sequence>
<sequence><char text="("/><exprlist err="err2"/><char text=")" err="err7"/></sequence>
</switch>
</optionalloop>
</designator>
<exprlist>
<optionalloop text=","><expression/></optionalloop>
</exprlist>
<statement>
<optionalswitch><simplestatement/><structstmt/></optionalswitch>
</statement>
<stmtlist>
<loop text=";"><statement/></loop>
</stmtlist>
<simplestatement>
<switch>
<assignstmt/>
<callstmt/>
<switch><keyword text="break" node="break"/><keyword text="continue" node="continue"/><keyword text="exit" node="exit"/></switch>
</switch>
</simplestatement>
<assignstmt node="assignstmt">
<designator/>
<char text=":"/>
<char text="=" err="err9" skip="0"/>
<expression err="err2"/>
</assignstmt>
<callstmt node="callstmt">
<designator/>
</callstmt>
<structstmt>
<switch><compoundstmt/><conditionalstmt/><loopstmt/><trystmt/><withstmt/></switch>
</structstmt>
<compoundstmt node="compoundstmt">
<keyword text="begin"/>
<stmtlist/>
<keyword text="end" err="err5"/>
</compoundstmt>
<conditionalstmt>
<switch><ifstmt/><casestmt/></switch>
</conditionalstmt>
<ifstmt node="ifstmt">
<keyword text="if"/>
<expression err="err2"/>
<keyword text="then" err="err13"/>
<statement node="thenstmt"/>
<optional><keyword text="else"/><statement node="elsestmt"/></optional>
</ifstmt>
<casestmt node="casestmt">
<keyword text="case"/>
<expression err="err2"/>
<keyword text="of" err="err12"/>
<loop text=";" skip="1"><caseselector/></loop>
<optional><keyword text="else"/><statement/></optional>
<optional><char text=";"/></optional>
<keyword text="end" err="err11"/>
</casestmt>
<caseselector node="caseselector">
<setconstructor err="err2"/>
<char text=":" err="err4"/>
<statement/>
</caseselector>
<loopstmt>
<switch><repeatstmt/><whilestmt/><forstmt/></switch>
</loopstmt>
<repeatstmt node="repeatstmt">
<keyword text="repeat"/>
<stmtlist/>
<keyword text="until" err="err14"/>
<expression err="err2"/>
</repeatstmt>
<whilestmt node="whilestmt">
<keyword text="while"/>
<expression err="err2"/>
<keyword text="do" err="err16"/>
<statement/>
</whilestmt>
<forstmt node="forstmt">
<keyword text="for"/>
<ident add="ident" err="err1"/>
<char text=":" err="err4"/>
<char text="=" err="err9" skip="0"/>
<expression err="err2"/>
<switch err="err15"><keyword text="to"/><keyword text="downto" add="downto"/></switch>
<expression err="err2"/>
<keyword text="do" err="err16"/>
<statement/>
</forstmt>
<trystmt node="trystmt">
<keyword text="try"/>
<stmtlist/>
<switch err="err17">
<sequence><keyword text="finally"/><stmtlist node="finallystmt"/></sequence>
<sequence><keyword text="except"/><stmtlist node="exceptstmt"/></sequence>
</switch>
<keyword text="end" err="err11"/>
</trystmt>
<withstmt node="with">
<keyword text="with"/>
<loop text=","><designator err="err2"/></loop>
<keyword text="do" err="err16"/>
<statement/>
</withstmt>
<proceduredeclsection>
<switch><proceduredecl/><functiondecl/></switch>
</proceduredeclsection>
<proceduredecl node="procedure">
<procedureheading/>
<char text=";" err="err5"/>
<block/>
<char text=";" err="err5"/>
</proceduredecl>
<procedureheading>
<keyword text="procedure"/>
<ident add="name" err="err1"/>
<optional><formalparameters/></optional>
</procedureheading>
<functiondecl node="function">
<functionheading/>
<char text=";" err="err5"/>
<block/>
<char text=";" err="err5"/>
</functiondecl>
<functionheading>
<keyword text="function"/>
<ident add="name" err="err1"/>
<optional><formalparameters/></optional>
<char text=":" err="err4"/>
<ident add="type" err="err1"/>
</functionheading>
<formalparameters node="parameters">
<char text="("/>
<loop text=";"><formalparam/></loop>
<char text=")" err="err7"/>
</formalparameters>
<formalparam>
<optionalswitch><keyword text="var" node="varparams"/><keyword text="const"/></optionalswitch>
<varlist/>
</formalparam>
</language>
)KSGRAMMAR",
    R"KSGRAMMAR(<?xml version="1.0"?>
<language text="C++Script">
<parser>
<identchars text="_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"/>
<commentline1 text="//"/>
<commentblock1 text="/*,*/"/>
<commentblock2 text="/*,*/"/>
<stringquotes text="&#34;"/>
<hexsequence text="0x"/>
<casesensitive text="1"/>
<keywords>
<break/><case/><continue/><define/><default/><delete/><do/><else/><except/><finally/><for/><in/><is/><if/><new/><return/><switch/><try/><while/>
</keywords>
<errors>
<err1 text="Identifier expected"/>
<err2 text="Expression expected"/>
<err3 text="Statement expected"/>
<err4 text="':' expected"/>
<err5 text="';' expected"/>
<err6 text="'.' expected"/>
<err7 text="')' expected"/>
<err8 text="']' expected"/>
<err9 text="'=' expected"/>
<err10 text="'{' expected"/>
<err11 text="'}' expected"/>
<err12 text="'(' expected"/>
<err13 text="'DEFINE' expected"/>
<err14 text="'WHILE' expected"/>
<err17 text="'FINALLY' or 'EXCEPT' expected"/>
<err18 text="'[' expected"/>
<err19 text="'..' expected"/>
<err20 text="'&#62;' expected"/>
</errors>
</parser>
<types>
<int type="integer"/>
<long type="integer"/>
<void type="integer"/>
<bool type="boolean"/>
<float type="extended"/>
</types>
<empty/>
<program>
<optional><usesclause/></optional>
<optionalloop><declsection/></optionalloop>
<compoundstmt err="err10"/>
</program>
<usesclause node="uses">
<char text="#"/>
<keyword text="include"/>
<loop text=","><string add="file" err="err1"/></loop>
</usesclause>
<declsection>
<switch>
<constsection/>
<functiondecl/>
<sequence><varstmt/><char text=";" err="err5"/></sequence>
</switch>
</declsection>
<constsection>
<char text="#"/>
<keyword text="define" err="err13"/>
<constantdecl/>
</constsection>
<constantdecl node="const">
<ident add="ident" err="err1"/>
<expression err="err2"/>
</constantdecl>
<varstmt node="var">
<ident add="type"/>
<loop text=","><ident add="ident"/><optional><array/></optional><optional><initvalue/></optional></loop>
</varstmt>
<array node="array">
<loop><char text="["/><optionalloop text=","><arraydim err="err2"/></optionalloop><char text="]" err="err8"/></loop>
</array>
<arraydim node="dim">
<expression/>
</arraydim>
<initvalue node="init">
<char text="="/>
<expression err="err2"/>
</initvalue>
<expression node="expr">
<simpleexpression/>
<optionalloop><relop/><simpleexpression/></optionalloop>
</expression>
<simpleexpression>
<optional><char text="-" add="op" addtext="unminus"/></optional>
<term/>
<optionalloop><addop/><term/></optionalloop>
</simpleexpression>
<term>
<factor/>
<optionalloop><mulop/><factor/></optionalloop>
</term>
<factor>
<switch>
<designator/>
<number add="number"/>
<string add="string"/>
<sequence><char text="(" add="op"/><expression err="err2"/><char text=")" add="op" err="err7"/></sequence>
<sequence><char text="!" add="op" addtext="not"/><factor err="err2"/></sequence>
<sequence><char text="["/><setconstructor err="err2"/><char text="]" err="err8"/></sequence>
<newoperator/>
<sequence><char text="&#60;"/><lystring/><char text="&#62;" err="err20"/></sequence>
</switch>
</factor>
<setconstructor node="set">
<loop text=","><setnode/></loop>
</setconstructor>
<setnode>
<expression/>
<optional><char text="."/><char text="." add="range"/><expression/></optional>
</setnode>
<newoperator node="new">
<keyword text="new"/>
<designator err="err2"/>
</newoperator>
<relop>
<switch>
<sequence><char text="&#62;"/><char text="=" add="op" addtext="&#62;=" skip="0"/></sequence>
<sequence><char text="&#60;"/><char text="=" add="op" addtext="&#60;=" skip="0"/></sequence>
<char text="&#62;" add="op" addtext="&#62;"/>
<char text="&#60;" add="op" addtext="&#60;"/>
<sequence><char text="="/><char text="=" add="op" addtext="=" skip="0"/></sequence>
<sequence><char text="!"/><char text="=" add="op" addtext="&#60;&#62;" skip="0"/></sequence>
<keyword text="in" add="op" addtext="in"/>
<keyword text="is" add="op" addtext="is"/>
</switch>
</relop>
<addop>
<switch>
<char text="+" add="op"/>
<char text="-" add="op"/>
<sequence><char text="|"/><char text="|" add="op" addtext="or"/></sequence>
<char text="^" add="op" addtext="xor"/>
</switch>
</addop>
<mulop>
<switch>
<char text="*" add="op"/>
<char text="/" add="op"/>
<keyword text="div" add="op" addtext="div"/>
<char text="%" add="op" addtext="mod"/>
<sequence><char text="&#38;"/><char text="&#38;" add="op" addtext="and"/></sequence>
<sequence><char text="&#60;"/><char text="&#60;" add="op" addtext="shl" skip="0"/></sequence>
<sequence><char text="&#62;"/><char text="&#62;" add="op" addtext="shr" skip="0"/></sequence>
</switch>
</mulop>
<designator node="dsgn">
<optional><char text="&#38;" add="addr"/></optional>
<ident add="node"/>
<optionalloop>
<switch>
<sequence><char text="."/><keyword add="node"/></sequence>
<sequence><char text="[" add="node"/><exprlist err="err2"/><char text="]" err="err8"/><optionalloop><char text="["/><exprlist err="err2"/><char text="]" err="err8"/></optionalloop></sequence>
<sequence><char text="("/><optional><exprlist/></optional><char text=")" err="err7"/></sequence>
</switch>
</optionalloop>
</designator>
<exprlist>
<loop text=","><expression/></loop>
</exprlist>
<statement>
<optionalswitch>
<sequence><simplestatement/><char text=";" err="err5"/></sequence>
<structstmt/>
<emptystmt/>
</optionalswitch>
</statement>
<emptystmt node="empty">
<char text=";"/>
</emptystmt>
<stmtlist>
<loop><statement/></loop>
</stmtlist>
<simplestatement>
<switch>
<deletestmt/>
<varstmt/>
<returnstmt/>
<keyword text="break" node="break"/>
<keyword text="continue" node="continue"/>
<keyword text="exit" node="exit"/>
<assignstmt/>
<callstmt/>
</switch>
</simplestatement>
<deletestmt node="delete">
<keyword text="delete"/>
<designator err="err2"/>
</deletestmt>
<assignstmt node="assignstmt">
<designator/>
<switch>
<sequence><char text="+" add="modificator" opt="1"/><char text="=" skip="0"/></sequence>
<sequence><char text="-" add="modificator" opt="1"/><char text="=" skip="0"/></sequence>
<sequence><char text="*" add="modificator" opt="1"/><char text="=" skip="0"/></sequence>
<sequence><char text="/" add="modificator" opt="1"/><char text="=" skip="0"/></sequence>
<char text="="/>
</switch>
<expression err="err2"/>
</assignstmt>
<callstmt node="callstmt">
<designator/>
<optionalswitch>
<sequence><char text="+"/><char text="+" add="modificator" skip="0"/></sequence>
<sequence><char text="-"/><char text="-" add="modificator" skip="0"/></sequence>
</optionalswitch>
</callstmt>
<returnstmt node="return">
<keyword text="return"/>
<optional><expression/></optional>
</returnstmt>
<structstmt>
<switch><compoundstmt/><conditionalstmt/><loopstmt/><trystmt/></switch>
</structstmt>
<compoundstmt node="compoundstmt">
<char text="{"/>
<optional><stmtlist/></optional>
<char text="}" err="err11"/>
</compoundstmt>
<conditionalstmt>
<switch><ifstmt/><casestmt/></switch>
</conditionalstmt>
<ifstmt node="ifstmt">
<keyword text="if"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<char text=")" err="err7"/>
<statement node="thenstmt"/>
<optional><keyword text="else"/><statement node="elsestmt"/></optional>
</ifstmt>
<casestmt node="casestmt">
<keyword text="switch"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<char text=")" err="err7"/>
<char text="{" err="err10"/>
<loop><caseselector/></loop>
<optional><keyword text="default"/><char text=":" err="err4"/><statement/></optional>
<char text="}" err="err11"/>
</casestmt>
<caseselector node="caseselector">
<keyword text="case"/>
<setconstructor err="err2"/>
<char text=":" err="err4"/>
<statement/>
</caseselector>
<loopstmt>
<switch><repeatstmt/><whilestmt/><forstmt/></switch>
</loopstmt>
<repeatstmt node="repeatstmt">
<keyword text="do"/>
<statement/>
<optional><char text=";"/></optional>
<keyword text="while" err="err14"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<empty add="inverse"/>
<char text=")" err="err7"/>
<char text=";" err="err5"/>
</repeatstmt>
<whilestmt node="whilestmt">
<keyword text="while"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<char text=")" err="err7"/>
<statement/>
</whilestmt>
<forstmt node="cppforstmt">
<keyword text="for"/>
<char text="(" err="err12"/>
<forcompoundstmt/>
<char text=";" err="err5"/>
<expression err="err2"/>
<char text=";" err="err5"/>
<forcompoundstmt/>
<char text=")" err="err7"/>
<statement/>
</forstmt>
<forcompoundstmt node="compoundstmt">
<loop text=","><forstmtitem/></loop>
</forcompoundstmt>
<forstmtitem>
<switch><assignstmt/><varstmt/><callstmt/><empty node="empty"/></switch>
</forstmtitem>
<trystmt node="trystmt">
<keyword text="try"/>
<compoundstmt/>
<switch err="err17">
<sequence><keyword text="finally"/><compoundstmt node="finallystmt"/></sequence>
<sequence><keyword text="except"/><compoundstmt node="exceptstmt"/></sequence>
</switch>
</trystmt>
<functiondecl node="function">
<functionheading/>
<compoundstmt/>
</functiondecl>
<functionheading>
<ident add="type"/>
<ident add="name"/>
<formalparameters/>
</functionheading>
<formalparameters node="parameters">
<char text="("/>
<optionalloop text=","><formalparam/></optionalloop>
<char text=")" err="err7"/>
</formalparameters>
<formalparam node="var">
<ident add="type"/>
<optional><char text="&#38;" add="varparam"/></optional>
<ident add="ident" err="err1"/>
<optional><initvalue/></optional>
</formalparam>
</language>
)KSGRAMMAR",
    R"KSGRAMMAR(<?xml version="1.0"?>
<language text="BasicScript">
<parser>
<identchars text="_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"/>
<commentline1 text="'"/>
<commentline2 text="rem"/>
<commentblock1 text="/\,/\"/>
<commentblock2 text="/\,/\"/>
<stringquotes text="&#34;"/>
<hexsequence text="0x"/>
<declarevars text="0"/>
<skipeol text="0"/>
<skipchar text="_"/>
<keywords>
<addressof/><and/><as/><byref/><byval/><case/><catch/><delete/><dim/><do/><else/><elseif/><end/><endif/><exit/><finally/><for/><function/><if/><imports/><is/><loop/><mod/><new/><next/><not/><or/><rem/><return/><select/><set/><step/><sub/><then/><to/><try/><wend/><while/><with/><xor/>
</keywords>
<errors>
<err1 text="Identifier expected"/>
<err2 text="Expression expected"/>
<err3 text="End of line expected"/>
<err4 text="':' expected"/>
<err5 text="';' expected"/>
<err6 text="'.' expected"/>
<err7 text="')' expected"/>
<err8 text="']' expected"/>
<err9 text="'=' expected"/>
<err10 text="'TO' expected"/>
<err11 text="'END' expected"/>
<err12 text="'(' expected"/>
<err13 text="'THEN' expected"/>
<err14 text="'WHILE' expected"/>
<err15 text="'CASE' expected"/>
<err16 text="'SELECT' expected"/>
<err17 text="'FINALLY' or 'CATCH' expected"/>
<err18 text="'[' expected"/>
<err19 text="'..' expected"/>
<err20 text="'&#62;' expected"/>
<err21 text="'WEND' expected"/>
<err22 text="'NEXT' expected"/>
<err23 text="'WITH' expected"/>
<err24 text="'TRY' expected"/>
<err25 text="'SUB' expected"/>
<err26 text="'FUNCTION' expected"/>
<err27 text="'ELSE' expected"/>
<err28 text="'IF' expected"/>
</errors>
</parser>
<types>
<decimal type="extended"/>
</types>
<empty/>
<program>
<statements/>
</program>
<statements node="compoundstmt">
<loop><switch><eol/><sequence><statementlist/><eol err="err3"/></sequence></switch></loop>
</statements>
<statementlist>
<loop text=":"><statement/></loop>
</statementlist>
<importstmt node="uses">
<keyword text="imports"/>
<loop text=","><string add="file" err="err1"/></loop>
</importstmt>
<dimstmt>
<keyword text="dim"/>
<loop text=","><vardecl/></loop>
</dimstmt>
<vardecl node="var">
<ident add="ident" err="err1" term="1"/>
<optional><array/></optional>
<optional><asclause/></optional>
<optional><initvalue/></optional>
</vardecl>
<asclause>
<keyword text="as"/>
<ident add="type" err="err1"/>
</asclause>
<array node="array">
<char text="["/>
<loop text=","><arraydim err="err2"/></loop>
<char text="]" err="err8"/>
</array>
<arraydim node="dim">
<expression/>
</arraydim>
<initvalue node="init">
<char text="="/>
<expression err="err2"/>
</initvalue>
<expression node="expr">
<simpleexpression/>
<optionalloop><relop/><simpleexpression/></optionalloop>
</expression>
<simpleexpression>
<optional><char text="-" add="op" addtext="unminus"/></optional>
<term/>
<optionalloop><addop/><term/></optionalloop>
</simpleexpression>
<term>
<factor/>
<optionalloop><mulop/><factor/></optionalloop>
</term>
<factor>
<switch>
<designator/>
<number add="number"/>
<string add="string"/>
<sequence><char text="(" add="op"/><expression err="err2"/><char text=")" add="op" err="err7"/></sequence>
<sequence><keyword text="not" add="op" addtext="not"/><factor err="err2"/></sequence>
<sequence><char text="["/><setconstructor err="err2"/><char text="]" err="err8"/></sequence>
<newoperator/>
<sequence><char text="&#60;"/><lystring/><char text="&#62;" err="err20"/></sequence>
</switch>
</factor>
<setconstructor node="set">
<loop text=","><setnode/></loop>
</setconstructor>
<setnode>
<expression/>
<optional><char text="."/><char text="." add="range"/><expression/></optional>
</setnode>
<newoperator node="new">
<keyword text="new"/>
<designator err="err2"/>
</newoperator>
<relop>
<switch>
<sequence><char text="&#62;"/><char text="=" add="op" addtext="&#62;=" skip="0"/></sequence>
<sequence><char text="&#60;"/><char text="&#62;" add="op" addtext="&#60;&#62;" skip="0"/></sequence>
<sequence><char text="&#60;"/><char text="=" add="op" addtext="&#60;=" skip="0"/></sequence>
<char text="&#62;" add="op" addtext="&#62;"/>
<char text="&#60;" add="op" addtext="&#60;"/>
<char text="=" add="op" addtext="="/>
<keyword text="in" add="op" addtext="in"/>
<keyword text="is" add="op" addtext="is"/>
</switch>
</relop>
<addop>
<switch>
<char text="+" add="op"/>
<char text="-" add="op"/>
<char text="&#38;" add="op" addtext="strcat"/>
<keyword text="or" add="op" addtext="or"/>
<keyword text="xor" add="op" addtext="xor"/>
</switch>
</addop>
<mulop>
<switch>
<char text="*" add="op"/>
<char text="/" add="op"/>
<char text="\" add="op" addtext="div"/>
<keyword text="mod" add="op" addtext="mod"/>
<keyword text="and" add="op" addtext="and"/>
</switch>
</mulop>
<designator node="dsgn">
<optional><keyword text="addressof" add="addr"/></optional>
<ident add="node"/>
<optionalloop>
<switch>
<sequence><char text="."/><keyword add="node"/></sequence>
<sequence><char text="[" add="node"/><exprlist err="err2"/><char text="]" err="err8"/></sequence>
<sequence><char text="("/><optional><exprlist/></optional><char text=")" err="err7"/></sequence>
</switch>
</optionalloop>
</designator>
<exprlist>
<loop text=","><expression/></loop>
</exprlist>
<statement>
<switch><breakstmt/><casestmt/><continuestmt/><deletestmt/><dimstmt/><dostmt/><exitstmt/><forstmt/><funcstmt/><ifstmt/><importstmt/><procstmt/><returnstmt/><setstmt/><trystmt/><whilestmt/><withstmt/><assignstmt/><callstmt/></switch>
</statement>
<breakstmt>
<keyword text="break" node="break"/>
</breakstmt>
<continuestmt>
<keyword text="continue" node="continue"/>
</continuestmt>
<exitstmt>
<keyword text="exit" node="exit"/>
</exitstmt>
<deletestmt node="delete">
<keyword text="delete"/>
<designator err="err2"/>
</deletestmt>
<setstmt node="assignstmt">
<keyword text="set"/>
<assignstmt err="err2"/>
</setstmt>
<assignstmt node="assignstmt">
<designator/>
<switch>
<sequence><char text="+" add="modificator"/><char text="=" skip="0"/></sequence>
<sequence><char text="-" add="modificator"/><char text="=" skip="0"/></sequence>
<sequence><char text="*" add="modificator"/><char text="=" skip="0"/></sequence>
<sequence><char text="/" add="modificator"/><char text="=" skip="0"/></sequence>
<char text="="/>
</switch>
<expression err="err2"/>
</assignstmt>
<callstmt node="callstmt">
<designator/>
<optionalswitch>
<sequence><char text="+"/><char text="+" add="modificator" skip="0"/></sequence>
<sequence><char text="-"/><char text="-" add="modificator" skip="0"/></sequence>
</optionalswitch>
</callstmt>
<returnstmt node="return">
<keyword text="return"/>
<optional><expression/></optional>
</returnstmt>
<ifstmt node="ifstmt">
<keyword text="if"/>
<expression err="err2"/>
<keyword text="then" err="err13"/>
<thenstmt/>
</ifstmt>
<thenstmt>
<switch>
<sequence><eol/><optional><statements node="thenstmt"/></optional><optionalswitch><elseifstmt node="elsestmt"/><elsestmt node="elsestmt"/></optionalswitch><keyword text="end" err="err11"/><keyword text="if" err="err28"/></sequence>
<statementlist node="thenstmt"/>
</switch>
</thenstmt>
<elseifstmt node="ifstmt">
<keyword text="elseif"/>
<expression err="err2"/>
<keyword text="then" err="err13"/>
<switch>
<sequence><eol/><optional><statements node="thenstmt"/></optional><optionalswitch><elseifstmt node="elsestmt"/><elsestmt node="elsestmt"/></optionalswitch></sequence>
<statement node="thenstmt"/>
</switch>
</elseifstmt>
<elsestmt>
<keyword text="else"/>
<switch>
<sequence><eol/><optional><statements/></optional></sequence>
<statement/>
</switch>
</elsestmt>
<casestmt node="casestmt">
<keyword text="select"/>
<keyword text="case" err="err15"/>
<expression err="err2"/>
<eol/>
<loop><caseselector/></loop>
<optional><keyword text="case"/><keyword text="else" err="err27"/><char text=":" err="err4"/><statements/></optional>
<keyword text="end" err="err11"/>
<keyword text="select" err="err16"/>
</casestmt>
<caseselector node="caseselector">
<keyword text="case"/>
<setconstructor/>
<char text=":" err="err4"/>
<statements/>
</caseselector>
<dostmt node="repeatstmt">
<keyword text="do"/>
<optional><statements/></optional>
<keyword text="loop"/>
<switch>
<sequence><keyword text="until"/><expression err="err2"/></sequence>
<sequence><keyword text="while" err="err14"/><expression err="err2"/><empty add="inverse"/></sequence>
</switch>
</dostmt>
<whilestmt node="whilestmt">
<keyword text="while"/>
<expression err="err2"/>
<optional><statements/></optional>
<keyword text="wend" err="err21"/>
</whilestmt>
<forstmt node="vbforstmt">
<keyword text="for"/>
<ident add="ident" err="err1"/>
<char text="=" err="err9"/>
<expression err="err2"/>
<keyword text="to" err="err10"/>
<expression err="err2"/>
<optional><keyword text="step"/><expression err="err2"/></optional>
<eol/>
<optional><statements/></optional>
<keyword text="next" err="err22"/>
</forstmt>
<trystmt node="trystmt">
<keyword text="try"/>
<statements/>
<switch err="err17">
<sequence><keyword text="finally"/><optional><statements node="finallystmt"/></optional></sequence>
<sequence><keyword text="catch"/><optional><statements node="exceptstmt"/></optional></sequence>
</switch>
<keyword text="end"/>
<keyword text="try" err="err24"/>
</trystmt>
<withstmt node="with">
<keyword text="with"/>
<designator err="err2"/>
<eol/>
<statements/>
<keyword text="end"/>
<keyword text="with" err="err23"/>
</withstmt>
<procstmt node="procedure">
<keyword text="sub"/>
<ident add="name" err="err1"/>
<optional><formalparameters/></optional>
<eol/>
<optional><statements/></optional>
<keyword text="end" err="err11"/>
<empty node="exit"/>
<keyword text="sub" err="err25"/>
</procstmt>
<funcstmt node="function">
<keyword text="function"/>
<ident add="name" err="err1"/>
<optional><formalparameters/></optional>
<optional><asclause/></optional>
<eol/>
<optional><statements/></optional>
<keyword text="end" err="err11"/>
<empty node="exit"/>
<keyword text="function" err="err26"/>
</funcstmt>
<formalparameters node="parameters">
<char text="("/>
<optionalloop text=","><formalparam/></optionalloop>
<char text=")" err="err7"/>
</formalparameters>
<formalparam>
<optionalswitch><keyword text="byref" node="varparams"/><keyword text="byval"/></optionalswitch>
<vardecl/>
</formalparam>
</language>
)KSGRAMMAR",
    R"KSGRAMMAR(<?xml version="1.0"?>
<language text="JScript">
<parser>
<identchars text="_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"/>
<commentline1 text="//"/>
<commentblock1 text="/*,*/"/>
<commentblock2 text="/*,*/"/>
<stringquotes text="&#34;"/>
<hexsequence text="0x"/>
<declarevars text="0"/>
<keywords>
<break/><case/><continue/><default/><delete/><do/><else/><except/><finally/><for/><function/><import/><in/><is/><if/><new/><return/><switch/><try/><var/><while/><with/>
</keywords>
<errors>
<err1 text="Identifier expected"/>
<err2 text="Expression expected"/>
<err3 text="Statement expected"/>
<err4 text="':' expected"/>
<err5 text="';' expected"/>
<err6 text="'.' expected"/>
<err7 text="')' expected"/>
<err8 text="']' expected"/>
<err9 text="'=' expected"/>
<err10 text="'{' expected"/>
<err11 text="'}' expected"/>
<err12 text="'(' expected"/>
<err14 text="'WHILE' expected"/>
<err17 text="'FINALLY' or 'EXCEPT' expected"/>
<err18 text="'[' expected"/>
<err19 text="'..' expected"/>
<err20 text="'&#62;' expected"/>
</errors>
</parser>
<types/>
<empty/>
<program>
<statements/>
</program>
<statements node="compoundstmt">
<optionalloop><statement/></optionalloop>
</statements>
<block>
<char text="{"/>
<statements/>
<char text="}" err="err11"/>
</block>
<importstmt node="uses">
<keyword text="import"/>
<loop text=","><string add="file" err="err1"/></loop>
</importstmt>
<varstmt>
<keyword text="var"/>
<loop text=","><vardecl/></loop>
</varstmt>
<vardecl node="var">
<ident add="ident"/>
<optional><array/></optional>
<optional><initvalue/></optional>
</vardecl>
<array node="array">
<char text="["/>
<loop text=","><arraydim err="err2"/></loop>
<char text="]" err="err8"/>
</array>
<arraydim node="dim">
<expression/>
</arraydim>
<initvalue node="init">
<char text="="/>
<expression err="err2"/>
</initvalue>
<expression node="expr">
<simpleexpression/>
<optionalloop><relop/><simpleexpression/></optionalloop>
</expression>
<simpleexpression>
<optional><char text="-" add="op" addtext="unminus"/></optional>
<term/>
<optionalloop><addop/><term/></optionalloop>
</simpleexpression>
<term>
<factor/>
<optionalloop><mulop/><factor/></optionalloop>
</term>
<factor>
<switch>
<designator/>
<number add="number"/>
<string add="string"/>
<sequence><char text="(" add="op"/><expression err="err2"/><char text=")" add="op" err="err7"/></sequence>
<sequence><char text="!" add="op" addtext="not"/><factor err="err2"/></sequence>
<sequence><char text="["/><setconstructor err="err2"/><char text="]" err="err8"/></sequence>
<newoperator/>
<sequence><char text="&#60;"/><lystring/><char text="&#62;" err="err20"/></sequence>
</switch>
</factor>
<setconstructor node="set">
<loop text=","><setnode/></loop>
</setconstructor>
<setnode>
<expression/>
<optional><char text="."/><char text="." add="range"/><expression/></optional>
</setnode>
<newoperator node="new">
<keyword text="new"/>
<designator err="err2"/>
</newoperator>
<relop>
<switch>
<sequence><char text="&#62;"/><char text="=" add="op" addtext="&#62;=" skip="0"/></sequence>
<sequence><char text="&#60;"/><char text="=" add="op" addtext="&#60;=" skip="0"/></sequence>
<char text="&#62;" add="op" addtext="&#62;"/>
<char text="&#60;" add="op" addtext="&#60;"/>
<sequence><char text="="/><char text="=" add="op" addtext="=" skip="0"/></sequence>
<sequence><char text="!"/><char text="=" add="op" addtext="&#60;&#62;" skip="0"/></sequence>
<keyword text="in" add="op" addtext="in"/>
<keyword text="is" add="op" addtext="is"/>
</switch>
</relop>
<addop>
<switch>
<char text="+" add="op"/>
<char text="-" add="op"/>
<sequence><char text="|"/><char text="|" add="op" addtext="or"/></sequence>
<char text="^" add="op" addtext="xor"/>
</switch>
</addop>
<mulop>
<switch>
<char text="*" add="op"/>
<char text="/" add="op"/>
<keyword text="div" add="op" addtext="div"/>
<char text="%" add="op" addtext="mod"/>
<sequence><char text="&#38;"/><char text="&#38;" add="op" addtext="and"/></sequence>
<sequence><char text="&#60;"/><char text="&#60;" add="op" addtext="shl" skip="0"/></sequence>
<sequence><char text="&#62;"/><char text="&#62;" add="op" addtext="shr" skip="0"/></sequence>
</switch>
</mulop>
<designator node="dsgn">
<optional><char text="&#38;" add="addr"/></optional>
<ident add="node"/>
<optionalloop>
<switch>
<sequence><char text="."/><keyword add="node"/></sequence>
<sequence><char text="[" add="node"/><exprlist err="err2"/><char text="]" err="err8"/></sequence>
<sequence><char text="("/><optional><exprlist/></optional><char text=")" err="err7"/></sequence>
</switch>
</optionalloop>
</designator>
<exprlist>
<loop text=","><expression/></loop>
</exprlist>
<statement>
<switch><breakstmt/><continuestmt/><deletestmt/><dowhilestmt/><forstmt/><functionstmt/><ifstmt/><importstmt/><returnstmt/><switchstmt/><trystmt/><varstmt/><whilestmt/><withstmt/><assignstmt/><callstmt/><block/></switch>
<optional><char text=";"/></optional>
</statement>
<breakstmt>
<keyword text="break" node="break"/>
</breakstmt>
<continuestmt>
<keyword text="continue" node="continue"/>
</continuestmt>
<deletestmt node="delete">
<keyword text="delete"/>
<designator err="err2"/>
</deletestmt>
<assignstmt node="assignstmt">
<designator/>
<switch>
<sequence><char text="+" add="modificator"/><char text="=" skip="0"/></sequence>
<sequence><char text="-" add="modificator"/><char text="=" skip="0"/></sequence>
<sequence><char text="*" add="modificator"/><char text="=" skip="0"/></sequence>
<sequence><char text="/" add="modificator"/><char text="=" skip="0"/></sequence>
<char text="="/>
</switch>
<expression err="err2"/>
</assignstmt>
<callstmt node="callstmt">
<designator/>
<optionalswitch>
<sequence><char text="+"/><char text="+" add="modificator" skip="0"/></sequence>
<sequence><char text="-"/><char text="-" add="modificator" skip="0"/></sequence>
</optionalswitch>
</callstmt>
<returnstmt node="return">
<keyword text="return"/>
<optional><expression/></optional>
</returnstmt>
<ifstmt node="ifstmt">
<keyword text="if"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<char text=")" err="err7"/>
<statement node="thenstmt"/>
<optional><keyword text="else"/><statement node="elsestmt"/></optional>
</ifstmt>
<switchstmt node="casestmt">
<keyword text="switch"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<char text=")" err="err7"/>
<char text="{" err="err10"/>
<loop><caseselector/></loop>
<optional><keyword text="default"/><char text=":" err="err4"/><statement/></optional>
<char text="}" err="err11"/>
</switchstmt>
<caseselector node="caseselector">
<keyword text="case"/>
<setconstructor err="err2"/>
<char text=":" err="err4"/>
<statement/>
</caseselector>
<dowhilestmt node="repeatstmt">
<keyword text="do"/>
<statement/>
<optional><char text=";"/></optional>
<keyword text="while" err="err14"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<empty add="inverse"/>
<char text=")" err="err7"/>
<char text=";" err="err5"/>
</dowhilestmt>
<whilestmt node="whilestmt">
<keyword text="while"/>
<char text="(" err="err12"/>
<expression err="err2"/>
<char text=")" err="err7"/>
<statement/>
</whilestmt>
<forstmt node="cppforstmt">
<keyword text="for"/>
<char text="(" err="err12"/>
<forstmtitem/>
<char text=";" err="err5"/>
<expression err="err2"/>
<char text=";" err="err5"/>
<forstmtitem/>
<char text=")" err="err7"/>
<statement/>
</forstmt>
<forstmtitem>
<switch><assignstmt/><callstmt/><varstmt/><empty node="empty"/></switch>
</forstmtitem>
<trystmt node="trystmt">
<keyword text="try"/>
<statement/>
<switch err="err17">
<sequence><keyword text="finally"/><statement node="finallystmt"/></sequence>
<sequence><keyword text="except"/><statement node="exceptstmt"/></sequence>
</switch>
</trystmt>
<functionstmt node="function">
<functionheading/>
<block/>
</functionstmt>
<functionheading>
<keyword text="function"/>
<ident add="name" err="err2"/>
<formalparameters/>
</functionheading>
<formalparameters node="parameters">
<char text="("/>
<optionalloop text=","><formalparam/></optionalloop>
<char text=")" err="err7"/>
</formalparameters>
<formalparam node="var">
<optional><char text="&#38;" add="varparam"/></optional>
<ident add="ident"/>
</formalparam>
<withstmt node="with">
<keyword text="with"/>
<char text="("/>
<designator err="err2"/>
<char text=")" err="err7"/>
<statement/>
</withstmt>
</language>
)KSGRAMMAR",
    nullptr};
