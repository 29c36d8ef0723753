#pragma once

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/TIndexedBitmap.h"
#include "windows/TIcon.h"

class TImageList;
class TServiceTablesWrapper;

// The small picture of every service, 16 or 32 pixels square (size class 16 for a requested size
// below 32, else 32): a picture of its own from the optional branding folder, else the picture of
// its programme type; for ServiceID 0 the product picture. Turns it into an icon, an image-list
// entry or the service's icon file.
//
// The branding folder holds GIF/<name>.gif with names "$" + the SId in at least four upper-case
// hexadecimal digits + "_" + the size class ("$C221_16"); it is read once, when constructed
// (names matched without regard to case; files that are not GIF pictures are left out). After
// construction every operation only reads, so any thread may call it.
class TServicePictures {
public:
    // `tables` is not owned and must outlive this. An empty or missing folder means no branding.
    TServicePictures(const TServiceTablesWrapper& tables, const QString& brandingFolder);

    TServicePictures(const TServicePictures&) = delete;
    TServicePictures& operator=(const TServicePictures&) = delete;

    // "Branding" beside the program file.
    static QString DefaultBrandingFolder();
    // The program's pictures when it has them (the global below), else `own`, made on first use
    // from the default branding folder.
    static const TServicePictures& SharedOr(std::unique_ptr<TServicePictures>& own,
                                            const TServiceTablesWrapper& tables);
    static int SizeClass(int size);
    // "$" + the SId in at least four upper-case hexadecimal digits.
    static QString SIdName(std::uint32_t sid);

    // Number of branding pictures found.
    int BrandingCount() const { return static_cast<int>(branding_.size()); }

    // The GIF file of the service's picture at `size`, or nothing when even the fallback
    // resource is missing.
    std::optional<QByteArray> GetServicePictureData(std::int32_t serviceId, int size) const;
    // The same picture, decoded.
    std::optional<TIndexedBitmap> LoadServicePicture(std::int32_t serviceId, int size) const;

    // Mask and colour image of a picture: the mask is 1 where the picture is transparent, the
    // colour image black there.
    static TIcon MakeIcon(const TIndexedBitmap& picture);
    std::optional<TIcon> MakeServiceIcon(std::int32_t serviceId, int size) const;

    // Adds the service's picture for the list's size (in grey scale when `grey`), with its mask,
    // to `list`; the new index, or -1 when there is no picture.
    int AddServicePicture(TImageList& list, std::int32_t serviceId, bool grey) const;

    // The service's icon file: its 16 and then its 32 pixel icon at 256 colours. Empty when
    // neither picture could be had.
    QByteArray GetServiceIconFile(std::int32_t serviceId) const;
    // "$" + four or more hexadecimal digits of the SId + ".ico".
    QString IconFileName(std::int32_t serviceId) const;
    // Writes the icon file into `folder` + "/Icons" (created when missing), replacing it
    // atomically; returns its path. Failures are dropped: the file may then be missing or old.
    QString WriteServiceIcon(std::int32_t serviceId, const QString& folder) const;
    // The same in the program folder (ProgramFolder::Path()).
    QString WriteServiceIcon(std::int32_t serviceId) const;

private:
    QString PictureName(std::int32_t serviceId, int size, bool* branded) const;

    const TServiceTablesWrapper& tables_;
    // Upper-cased picture name -> GIF bytes.
    QHash<QString, QByteArray> branding_;
};

// The running program's pictures (null until start-up makes them, and in most tests).
extern TServicePictures* ServicePictures;
