#include "gui/sync/ShowInFileManager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace drivlet::gui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");

void OpenFolders(QStringList folders) {
    folders.removeDuplicates();
    for (const QString& folder : folders)
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace

void ShowInFileManager(const QStringList& paths) {
    QStringList files;
    QStringList fileFolders;
    QStringList folders;
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        const QFileInfo info(path);
        if (info.exists()) {
            files.append(QUrl::fromLocalFile(info.absoluteFilePath()).toString());
            fileFolders.append(info.absolutePath());
        } else {
            folders.append(info.absolutePath());
        }
    }
    OpenFolders(folders);
    if (files.isEmpty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        OpenFolders(fileFolders);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/FileManager1"), kService, QStringLiteral("ShowItems"));
    call << files << QString();
    // Answered later: without a file manager on the bus the folders are opened instead.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fileFolders](QDBusPendingCallWatcher* done) {
                         if (done->isError()) OpenFolders(fileFolders);
                         done->deleteLater();
                     });
}

} // namespace drivlet::gui
