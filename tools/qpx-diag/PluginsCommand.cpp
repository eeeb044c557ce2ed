#include "DiagCommands.h"

#include "platform/Registry.h"
#include "plugin/ModelCatalogue.h"
#include "plugin/PluginApi.h"

#include <QJsonArray>
#include <QJsonObject>

// The plug-in catalogue as the "Select Model DLL" page lists it: a heading, then one line per
// plug-in in catalogue order with the page's columns and the full path, separated by tabs
// (the modification time holds blanks).
//   qpx-diag plugins [--folder F]
// Without --folder the MODEL folder of the installation is scanned, like the program does.
int RunPlugins(const QStringList& args, bool json)
{
    QString folder;
    if (args.size() == 2 && args.at(0) == QLatin1String("--folder")) {
        folder = args.at(1);
    } else if (!args.isEmpty()) {
        PrintError(QStringLiteral("usage: plugins [--folder F]"));
        return DIAG_USAGE;
    } else {
        QString install = RegReadString(QPX_REG_KEY, "LOCATE_DIRECTORY", HKEY_LOCAL_MACHINE);
        if (install.isEmpty()) {
            PrintError(QStringLiteral("No Registry data found! dll search is in default folder!"));
            install = QStringLiteral("../");
        }
        if (!install.endsWith(QLatin1Char('/')))
            install += QLatin1Char('/');
        folder = install + QStringLiteral("MODEL/");
    }

    CModelCatalogue catalogue;
    catalogue.ScanFolder(folder);
    if (!json)
        PrintLine(QStringLiteral("Model\tDLL Version\tModified\tLocation\tPath"));
    QJsonArray list;
    for (int i = 0; i < catalogue.GetCount(); ++i) {
        const QString path = catalogue.GetPath(i);
        const QStringList columns{catalogue.GetModelName(i), PluginFileVersion(path), FileModifiedText(path),
                                  catalogue.GetLocation(i), path};
        if (json)
            list.append(QJsonObject{{QStringLiteral("model"), columns[0]},
                                    {QStringLiteral("dllVersion"), columns[1]},
                                    {QStringLiteral("modified"), columns[2]},
                                    {QStringLiteral("location"), columns[3]},
                                    {QStringLiteral("path"), columns[4]}});
        else
            PrintLine(columns.join(QLatin1Char('\t')));
    }
    if (json)
        PrintJson(QJsonObject{{QStringLiteral("folder"), folder}, {QStringLiteral("plugins"), list}});
    return DIAG_OK;
}
