#include "receiver/TReceiverComponent.h"

#include <dlfcn.h>

#include <QString>
#include <string>

#include "platform/RegistryError.h"
#include "platform/RegistryKey.h"
#include "receiver/ReceiverError.h"

TReceiverComponent::TReceiverComponent(IViadabRx* component, void* library)
    : component_(component), library_(library) {}

TReceiverComponent::~TReceiverComponent() {
    // The component's threads end inside Release, so the library's code is idle when it closes.
    if (component_ != nullptr) {
        component_->Release();
    }
    if (library_ != nullptr) {
        ::dlclose(library_);
    }
}

bool TReceiverComponent::IsInstalled() {
    try {
        const RegistryKey key(RegistryKey::HiveFile(RegistryKey::Hive::Classes),
                              QString::fromLatin1(IViadabRxInterfaceKey));
        return key.ReadString(QString()) == QLatin1String(IViadabRxInterfaceName);
    } catch (const RegistryError&) {
        return false;
    }
}

std::unique_ptr<TReceiverComponent> TReceiverComponent::CreateRegistered() {
    const QString hive = RegistryKey::HiveFile(RegistryKey::Hive::Classes);
    QString path;
    try {
        path = RegistryKey(hive, QString::fromLatin1(CoViadabRxServerKey)).ReadString(QString());
    } catch (const std::exception& e) {
        throw ReceiverError("The receiver component's registration in " + hive.toStdString() +
                            " cannot be read: " + e.what());
    }
    if (path.isEmpty()) {
        throw ReceiverError("The receiver component is not registered (no library path under " +
                            std::string(CoViadabRxServerKey) + " in " + hive.toStdString() + ").");
    }

    const QByteArray file = path.toLocal8Bit();
    void* library = ::dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = ::dlerror();
        throw ReceiverError("The receiver component " + file.toStdString() +
                            " cannot be loaded: " + (why != nullptr ? why : "unknown error"));
    }
    auto factory = reinterpret_cast<CreateViadabRxFn>(::dlsym(library, CoViadabRxFactoryName));
    if (factory == nullptr) {
        ::dlclose(library);
        throw ReceiverError("The receiver component " + file.toStdString() + " does not export " +
                            CoViadabRxFactoryName + ".");
    }
    IViadabRx* component = nullptr;
    try {
        component = factory();
    } catch (...) {
        component = nullptr;
    }
    if (component == nullptr) {
        ::dlclose(library);
        throw ReceiverError("The receiver component " + file.toStdString() +
                            " failed to create a receiver.");
    }
    return std::make_unique<TReceiverComponent>(component, library);
}
