#include "receiver/TReceiverComponent.h"

#include <QString>
#include <string>
#include <utility>

#include "platform/RegistryError.h"
#include "platform/RegistryKey.h"
#include "receiver/ReceiverError.h"

TReceiverComponent::TReceiverComponent(IViadabRx* component, LibraryHandle library)
    : component_(component), library_(std::move(library)) {}

TReceiverComponent::~TReceiverComponent() {
    // The component's threads end inside Release, so the library's code is idle when it closes.
    if (component_ != nullptr) {
        component_->Release();
    }
    library_.Reset();
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
    LibraryHandle library(file);
    if (!library.IsOpen()) {
        throw ReceiverError("The receiver component " + file.toStdString() +
                            " cannot be loaded: " + library.Error());
    }
    auto factory = reinterpret_cast<CreateViadabRxFn>(library.Symbol(CoViadabRxFactoryName));
    if (factory == nullptr) {
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
        throw ReceiverError("The receiver component " + file.toStdString() +
                            " failed to create a receiver.");
    }
    return std::make_unique<TReceiverComponent>(component, std::move(library));
}
