// Shared entry of every test program: one application object (offscreen),
// with the program's Chinese defaults, alive for all tests.
#include "platform/ui/application.h"
#include "platform/ui/modal.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    ui::Application app(argc, argv);
    // A preview or print dialog that no test answers would wait for a user
    // until the run is killed: it fails the test and closes instead.  Other
    // dialogs run as they would, since some tests answer them from a timer.
    ui::ScriptedModals unanswered([](QDialog *d) -> int {
        const QByteArray name = d->metaObject()->className();
        if (name != "TlyrPreviewForm" && name != "TlyrPrintDialog") {
            // Already shown once here: one that closed itself on showing is done.
            return d->isVisible() ? d->exec() : d->result();
        }
        ADD_FAILURE() << name.constData() << " opened and no test answers it";
        return QDialog::Rejected;
    });
    return RUN_ALL_TESTS();
}
