#include "widgets/HelpFolders.h"

#include <QCoreApplication>
#include <QDir>

std::vector<std::string> helpFolders()
{
    std::vector<std::string> out;
    const QString bin = QCoreApplication::applicationDirPath();
    if (!bin.isEmpty()) {
        out.push_back(bin.toStdString());
        out.push_back(QDir::cleanPath(bin + QStringLiteral("/../share/doc/vesperon")).toStdString());
    }
#ifdef VES_BUILT_DOCS_DIR
    out.push_back(VES_BUILT_DOCS_DIR);
#endif
    return out;
}
