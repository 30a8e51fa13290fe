// The library's entry point: the platform calls OspMain, which runs the application
// through the platform and logs how it ended.
#include "Veltora.h"

using namespace Osp::Base;
using namespace Osp::Base::Collection;

extern "C" {
__attribute__((visibility("default"))) int OspMain(int argc, char* pArgv[]);
}

int OspMain(int argc, char* pArgv[])
{
    result r = E_SUCCESS;

    AppLog("Application started.");
    ArrayList* pArgs = new ArrayList();
    pArgs->Construct(10);
    for (int i = 0; i < argc; i++) {
        pArgs->Add(*(new String(pArgv[i])));
    }

    r = Osp::App::Application::Execute(Veltora::CreateInstance, pArgs, 1);
    if (IsFailed(r)) {
        AppLogException("Application execution failed-[%s].", GetErrorMessage(r));
        r &= 0x0000FFFF;
        // A failure must not come out as success where its low 16 bits happen to be 0.
        if (r == E_SUCCESS) {
            r = 0xFFFF;
        }
    }

    if (pArgs) {
        pArgs->RemoveAll(true);
        delete pArgs;
    }
    AppLog("Application finished.");

    return static_cast<int>(r);
}
