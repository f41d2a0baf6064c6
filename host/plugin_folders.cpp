#include "host/plugin_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace velmora {

QStringList plugin_folders(const QString& executable_dir, const QStringList& extra_folders) {
    QStringList folders = extra_folders;
    const QDir base(executable_dir);
    folders << QDir::cleanPath(base.filePath(QStringLiteral("plugins")))
            << QDir::cleanPath(base.filePath(QStringLiteral("../lib/velmora/plugins")));
    return folders;
}

QStringList find_plugins(const QStringList& folders) {
    QStringList plugins;
    QSet<QString> seen_names;
    for (const QString& folder : folders) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("lib*.so")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& file : files) {
            if (seen_names.contains(file.fileName())) {
                continue;
            }
            seen_names.insert(file.fileName());
            plugins << file.absoluteFilePath();
        }
    }
    return plugins;
}

}  // namespace velmora
