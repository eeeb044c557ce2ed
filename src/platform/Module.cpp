#include "Module.h"

#include <QFile>

#include <dlfcn.h>

namespace {
thread_local QString t_lastError;
}

HMODULE ModuleLoad(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    void* h = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* err = ::dlerror();
        t_lastError = err ? QString::fromLocal8Bit(err) : QString();
    }
    return h;
}

void* ModuleSymbol(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    return ::dlsym(module, name);
}

void ModuleFree(HMODULE module)
{
    if (module)
        ::dlclose(module);
}

QString ModuleLastError()
{
    return t_lastError;
}
