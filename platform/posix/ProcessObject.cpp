#include "ProcessObject.h"

std::shared_ptr<ProcessObject> ProcessObject::Current() {
    // Never destroyed: handles to it may outlive static destruction.
    static std::shared_ptr<ProcessObject>* s_ppProcess =
        new std::shared_ptr<ProcessObject>(std::make_shared<ProcessObject>());
    return *s_ppProcess;
}
