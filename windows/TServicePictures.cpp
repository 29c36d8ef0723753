#include "windows/TServicePictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "imaging/TGifDecoder.h"
#include "platform/ProgramFolder.h"
#include "resources/Resources.h"
#include "services/ProgrammeTypes.h"
#include "services/TServiceTablesWrapper.h"
#include "windows/TIconWriter.h"
#include "windows/TImageList.h"

TServicePictures* ServicePictures = nullptr;

namespace {

// Branding pictures are small; anything larger is not one of them.
constexpr qint64 kMaxBrandingFile = 1024 * 1024;
constexpr int kIconColours = 256;

}  // namespace

TServicePictures::TServicePictures(const TServiceTablesWrapper& tables,
                                   const QString& brandingFolder)
    : tables_(tables) {
    if (brandingFolder.isEmpty()) {
        return;
    }
    const QDir folder(brandingFolder + QStringLiteral("/GIF"));
    const QFileInfoList files = folder.entryInfoList(QDir::Files | QDir::Readable);
    for (const QFileInfo& info : files) {
        if (info.suffix().compare(QStringLiteral("gif"), Qt::CaseInsensitive) != 0 ||
            info.size() > kMaxBrandingFile) {
            continue;
        }
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        QByteArray bytes = file.readAll();
        // A damaged picture falls back to the genre picture like a missing one.
        if (TGifDecoder::Decode(bytes)) {
            branding_.insert(info.completeBaseName().toUpper(), std::move(bytes));
        }
    }
}

QString TServicePictures::DefaultBrandingFolder() {
    return QFileInfo(ProgramFolder::ExecutablePath()).absolutePath() + QStringLiteral("/Branding");
}

const TServicePictures& TServicePictures::SharedOr(std::unique_ptr<TServicePictures>& own,
                                                   const TServiceTablesWrapper& tables) {
    if (ServicePictures) {
        return *ServicePictures;
    }
    if (!own) {
        own = std::make_unique<TServicePictures>(tables, DefaultBrandingFolder());
    }
    return *own;
}

int TServicePictures::SizeClass(int size) {
    return size < 32 ? 16 : 32;
}

QString TServicePictures::SIdName(std::uint32_t sid) {
    return u'$' + QString::number(sid, 16).toUpper().rightJustified(4, u'0');
}

QString TServicePictures::PictureName(std::int32_t serviceId, int size, bool* branded) const {
    *branded = false;
    if (serviceId == 0) {
        return GetProductImageName(size);
    }
    const QString own =
        SIdName(tables_.GetServiceSId(serviceId)) + u'_' + QString::number(SizeClass(size));
    if (branding_.contains(own)) {
        *branded = true;
        return own;
    }
    return GetGenreImageName(tables_.GetServiceProgrammeType(serviceId), size);
}

std::optional<QByteArray> TServicePictures::GetServicePictureData(std::int32_t serviceId,
                                                                  int size) const {
    bool branded = false;
    const QString name = PictureName(serviceId, size, &branded);
    if (branded) {
        return branding_.value(name);
    }
    return Resources::Find(QStringLiteral("GIF"), name);
}

std::optional<TIndexedBitmap> TServicePictures::LoadServicePicture(std::int32_t serviceId,
                                                                   int size) const {
    const std::optional<QByteArray> data = GetServicePictureData(serviceId, size);
    if (!data) {
        return std::nullopt;
    }
    return TGifDecoder::Decode(*data);
}

TIcon TServicePictures::MakeIcon(const TIndexedBitmap& picture) {
    const int width = picture.Width();
    const int height = picture.Height();
    const int transparent = picture.TransparentIndex();

    TIcon icon;
    icon.Mask = TIndexedBitmap(width, height, {TRgb{0, 0, 0}, TRgb{255, 255, 255}});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (picture.IsTransparent(x, y)) {
                icon.Mask.SetPixel(x, y, 1);
            }
        }
    }

    // The transparent index is used by transparent pixels alone, so painting its palette entry
    // black blackens exactly them and keeps every other colour.
    std::vector<TRgb> palette = picture.Palette();
    if (transparent >= 0 && transparent < 256) {
        if (static_cast<int>(palette.size()) <= transparent) {
            palette.resize(transparent + 1);
        }
        palette[transparent] = TRgb{0, 0, 0};
    }
    icon.Colour = TIndexedBitmap(width, height, std::move(palette));
    for (int y = 0; y < height; ++y) {
        std::copy(picture.Row(y), picture.Row(y) + width, icon.Colour.Row(y));
    }
    return icon;
}

std::optional<TIcon> TServicePictures::MakeServiceIcon(std::int32_t serviceId, int size) const {
    const std::optional<TIndexedBitmap> picture = LoadServicePicture(serviceId, size);
    if (!picture) {
        return std::nullopt;
    }
    return MakeIcon(*picture);
}

int TServicePictures::AddServicePicture(TImageList& list, std::int32_t serviceId, bool grey) const {
    std::optional<TIndexedBitmap> picture =
        LoadServicePicture(serviceId, std::max(list.Width(), list.Height()));
    if (!picture) {
        return -1;
    }
    if (grey) {
        picture = picture->Greyscale();
    }
    const TIcon icon = MakeIcon(picture->Scaled(list.Width(), list.Height()));
    return list.Add(icon.Colour, icon.Mask);
}

QByteArray TServicePictures::GetServiceIconFile(std::int32_t serviceId) const {
    TIconWriter writer;
    for (const int size : {16, 32}) {
        if (const std::optional<TIcon> icon = MakeServiceIcon(serviceId, size)) {
            writer.Add(*icon, kIconColours);
        }
    }
    return writer.Bytes();
}

QString TServicePictures::IconFileName(std::int32_t serviceId) const {
    const std::uint32_t sid = serviceId == 0 ? 0 : tables_.GetServiceSId(serviceId);
    return SIdName(sid) + QStringLiteral(".ico");
}

QString TServicePictures::WriteServiceIcon(std::int32_t serviceId, const QString& folder) const {
    const QString directory = folder + QStringLiteral("/Icons");
    const QString path = directory + u'/' + IconFileName(serviceId);
    QDir().mkpath(directory);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(GetServiceIconFile(serviceId));
        file.commit();
    }
    return path;
}

QString TServicePictures::WriteServiceIcon(std::int32_t serviceId) const {
    return WriteServiceIcon(serviceId, ProgramFolder::Path());
}
