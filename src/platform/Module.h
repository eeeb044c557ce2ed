#pragma once
// Loading of plug-in libraries (*.so) by path: dlopen(RTLD_NOW | RTLD_LOCAL), dlsym, dlclose.
#include <QString>

using HMODULE = void*;

HMODULE ModuleLoad(const QString& path);
void* ModuleSymbol(HMODULE module, const char* name);
void ModuleFree(HMODULE module);
// Text of the last loader error (for logging only).
QString ModuleLastError();

template <typename Fn> Fn ModuleFunction(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(ModuleSymbol(module, name));
}
