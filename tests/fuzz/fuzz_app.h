#pragma once
// One Qt application object for a fuzz target's whole run (fonts and
// painting need one); made on the first input.

#include <QGuiApplication>

template <class App = QGuiApplication>
inline void fuzzEnsureApp()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static App *app = new App(argc, argv);
    (void)app;
}
