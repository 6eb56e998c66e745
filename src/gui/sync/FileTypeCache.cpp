#include "gui/sync/FileTypeCache.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

namespace drivlet::gui {

namespace {

QIcon StandardIcon(QStyle::StandardPixmap which) {
    QStyle* style = QApplication::style();
    return style ? style->standardIcon(which) : QIcon();
}

} // namespace

FileTypeCache::FileTypeCache() {
    Add(QStringLiteral("folder"), QStringLiteral("File Folder"),
        QIcon::fromTheme(QStringLiteral("folder"), StandardIcon(QStyle::SP_DirIcon)));
    Add(QStringLiteral("unknown"), QStringLiteral("Unknown File"),
        QIcon::fromTheme(QStringLiteral("application-octet-stream"), StandardIcon(QStyle::SP_FileIcon)));
}

void FileTypeCache::Add(QString key, QString typeName, QIcon icon) {
    extensions_.append(std::move(key));
    typeNames_.push_back(std::move(typeName));
    // One icon holds every size; the lists stay parallel as the window expects.
    smallIcons_.push_back(icon);
    largeIcons_.push_back(std::move(icon));
}

QString FileTypeCache::ExtensionOf(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0) return {};
    return name.mid(dot);
}

int FileTypeCache::IndexFor(const QString& extension) {
    if (extension.isEmpty() || extension == QLatin1String(".")) return kUnknown;
    const QString key = extension.toLower();
    // The two first keys are names, not extensions: they never match one with its dot.
    const qsizetype found = extensions_.indexOf(key);
    if (found >= 2) return static_cast<int>(found);

    const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(QStringLiteral("file") + key, QMimeDatabase::MatchExtension);
    QString typeName;
    QIcon icon;
    if (type.isValid() && !type.isDefault()) {
        typeName = type.comment();
        icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    }
    // No registered type: named after the extension, as a desktop shows such files.
    if (typeName.isEmpty()) typeName = extension.mid(1).toUpper() + QStringLiteral(" File");
    if (icon.isNull()) icon = SmallIcon(kUnknown);
    Add(key, typeName, icon);
    return Count() - 1;
}

} // namespace drivlet::gui
