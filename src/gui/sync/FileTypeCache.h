#pragma once
// Type names and icons of files by extension, asked of the MIME database once per extension.
// Index 0 is the folder ("File Folder"), index 1 a file of no known type ("Unknown File"); each
// new extension, compared without regard to case, gets the next index.
#include <QIcon>
#include <QString>
#include <QStringList>

#include <vector>

namespace drivlet::gui {

class FileTypeCache {
public:
    static constexpr int kFolder = 0;
    static constexpr int kUnknown = 1;

    FileTypeCache();

    // The index for an extension with its dot (".doc"); an empty one is kUnknown.
    int IndexFor(const QString& extension);
    // The extension of a file name ("" when there is none, or the name begins with its only dot).
    static QString ExtensionOf(const QString& fileName);

    int Count() const { return static_cast<int>(extensions_.size()); }
    const QString& TypeName(int index) const { return typeNames_.at(static_cast<size_t>(index)); }
    const QIcon& SmallIcon(int index) const { return smallIcons_.at(static_cast<size_t>(index)); }
    const QIcon& LargeIcon(int index) const { return largeIcons_.at(static_cast<size_t>(index)); }

private:
    void Add(QString key, QString typeName, QIcon icon);

    // Lower-cased keys and parallel lists of the same length.
    QStringList extensions_;
    std::vector<QString> typeNames_;
    std::vector<QIcon> smallIcons_;
    std::vector<QIcon> largeIcons_;
};

} // namespace drivlet::gui
