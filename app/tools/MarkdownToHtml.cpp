// Builds the HTML user guide that Help opens from its Markdown text:
//   ves_md2html <guide.md> <out.html> <title>
#include "render/HeadlessGui.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: ves_md2html GUIDE.md OUT.html TITLE\n");
        return 2;
    }
    auto app = makeHeadlessGuiApplication();
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "ves_md2html: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument doc;
    doc.setMarkdown(QString::fromUtf8(in.readAll()));
    doc.setMetaInformation(QTextDocument::DocumentTitle, QString::fromLocal8Bit(argv[3]));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(doc.toHtml().toUtf8()) < 0) {
        std::fprintf(stderr, "ves_md2html: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
