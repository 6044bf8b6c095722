#include "link/Library.h"

#include "common/Seams.h"

#include <QFileInfo>
#include <QString>

#include <dlfcn.h>

namespace qmt {

LibraryApi& library() {
    static LibraryApi api;
    return api;
}

namespace {

void bindingError(const QString& text) {
    notify(text, QStringLiteral("Ошибка!"), MsgIcon::Error);
}

} // namespace

bool BindLibrary(const char* fileName) {
    // The messages name the file, not the folder it was looked for in.
    const QString shownName = QFileInfo(QString::fromLocal8Bit(fileName)).fileName();
    void* handle = dlopen(fileName, RTLD_NOW);
    if (!handle) {
        bindingError(QStringLiteral("Не найдена %1!").arg(shownName));
        return false;
    }

    LibraryApi bound;
    // In this order; the first missing one is the only one reported.
    const struct {
        const char* name;
        void** slot;
    } entries[] = {
        {"init_comm", reinterpret_cast<void**>(&bound.init_comm)},
        {"invoke_modb", reinterpret_cast<void**>(&bound.invoke_modb)},
        {"EnumParameters", reinterpret_cast<void**>(&bound.EnumParameters)},
        {"SetTout", reinterpret_cast<void**>(&bound.SetTout)},
    };
    for (const auto& entry : entries) {
        *entry.slot = dlsym(handle, entry.name);
        if (!*entry.slot) {
            // The program ends after this message; nothing of the file is kept.
            dlclose(handle);
            bindingError(QStringLiteral("%1 не содержит функции %2!")
                             .arg(shownName, QString::fromLatin1(entry.name)));
            return false;
        }
    }
    bound.EnumParametersAt =
        reinterpret_cast<EnumParametersAtFn>(dlsym(handle, "EnumParametersAt"));
    bound.SetTraceHook = reinterpret_cast<SetTraceHookFn>(dlsym(handle, "SetTraceHook"));
    // The library stays loaded for the rest of the process.
    library() = bound;
    return true;
}

} // namespace qmt
