#include "TreePictures.h"

#include <QApplication>
#include <QStyle>

#include <array>

namespace TreePictures {

namespace {

struct Entry {
    TreePicture picture;
    const char *themeName;
    QStyle::StandardPixmap fallback;
};

// One row per role, in the order of TreePicture. The three roots that name no usable drive
// (type unknown, no root folder, a type outside the known range) each look different, so the
// reason shows at a glance.
constexpr std::array<Entry, static_cast<std::size_t>(TreePicture::Count)> table{{
    {TreePicture::Desktop, "user-desktop", QStyle::SP_DesktopIcon},
    {TreePicture::HDD, "drive-harddisk", QStyle::SP_DriveHDIcon},
    {TreePicture::Remote, "folder-remote", QStyle::SP_DriveNetIcon},
    {TreePicture::Removable, "drive-removable-media", QStyle::SP_DriveFDIcon},
    {TreePicture::Optical, "media-optical", QStyle::SP_DriveCDIcon},
    {TreePicture::RAMDISK, "media-flash", QStyle::SP_DriveHDIcon},
    {TreePicture::Undtmnd, "dialog-question", QStyle::SP_MessageBoxQuestion},
    {TreePicture::NoRoot, "dialog-error", QStyle::SP_MessageBoxCritical},
    {TreePicture::InvDrvNum, "process-stop", QStyle::SP_BrowserStop},
    {TreePicture::Folder, "folder", QStyle::SP_DirIcon},
    {TreePicture::File, "text-x-generic", QStyle::SP_FileIcon},
    {TreePicture::Warning, "dialog-warning", QStyle::SP_MessageBoxWarning},
    {TreePicture::ScanFile, "document-open", QStyle::SP_DialogOpenButton},
}};

constexpr bool inOrder() {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (static_cast<std::size_t>(table[i].picture) != i)
            return false;
    return true;
}
static_assert(inOrder(), "one row per picture, in the order of TreePicture");

} // namespace

QIcon icon(TreePicture picture) {
    const auto i = static_cast<std::size_t>(picture);
    if (i >= table.size())
        return icon(TreePicture::Folder);
    const Entry &e = table[i];
    return QIcon::fromTheme(QString::fromLatin1(e.themeName),
                            QApplication::style()->standardIcon(e.fallback));
}

} // namespace TreePictures
