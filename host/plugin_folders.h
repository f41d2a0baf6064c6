// Where the host looks for plug-ins, and which files there are plug-ins.
//
// Callers may rely on: folders come in the order they are searched: those given on the command line
// first, then `<executable dir>/plugins`, then `<executable dir>/../lib/velmora/plugins`. A plug-in
// is a file named lib*.so; within a folder they are taken in name order, and a file name already
// found in an earlier folder is skipped, so a folder given on the command line overrides the
// installed copy of the same plug-in.
#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

QStringList plugin_folders(const QString& executable_dir, const QStringList& extra_folders);
// Full paths of the plug-ins in `folders`; missing folders are passed over.
QStringList find_plugins(const QStringList& folders);

}  // namespace velmora
