// SPDX-License-Identifier: GPL-3.0-or-later
#include "guide_index.h"

#include <QFile>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// Reading order of the chapters; every page of the guide's resources is listed here.
const char* const page_names[] = {
    "index.html",    "connecting.html", "settings.html",    "settings-page.html", "tables.html",
    "scripts.html",  "wizard.html",     "calibration.html", "live.html",          "compare.html",
    "firmware.html", "files.html",      "cli.html",         "licence.html"};

} // namespace

void guide_index::register_resources()
{
    // The pages live in a static library, whose resources are not registered by themselves.
    static const bool registered = [] {
        Q_INIT_RESOURCE(guide);
        return true;
    }();
    Q_UNUSED(registered);
}

guide_index::guide_index()
{
    register_resources();
    for (const QUrl& page : pages())
        read_page(page);
}

QList<QUrl> guide_index::pages()
{
    QList<QUrl> list;
    for (const char* name : page_names)
        list << QUrl(QString("qrc:/guide/") + name);
    return list;
}

QUrl guide_index::start_page()
{
    return pages().first();
}

QUrl guide_index::url_of(const QString& section) const
{
    const auto found = page_of_anchor.constFind(section);
    if (found == page_of_anchor.constEnd())
        return {};
    QUrl url = found.value();
    url.setFragment(section);
    return url;
}

bool guide_index::has_anchor(const QUrl& page, const QString& anchor) const
{
    const QString key = page.adjusted(QUrl::RemoveFragment).toString();
    const auto found = anchors_by_page.constFind(key);
    return found != anchors_by_page.constEnd() && (anchor.isEmpty() || found->contains(anchor));
}

void guide_index::read_page(const QUrl& page)
{
    QFile file(":" + page.path());
    if (!file.open(QIODevice::ReadOnly)) {
        missing << page;
        return;
    }
    QTextDocument document;
    document.setBaseUrl(page);
    document.setHtml(QString::fromUtf8(file.readAll()));

    QSet<QString>& anchors = anchors_by_page[page.toString()];
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QStringList block_anchors;
        for (auto part = block.begin(); !part.atEnd(); ++part) {
            const QTextCharFormat format = part.fragment().charFormat();
            block_anchors << format.anchorNames();
            if (format.isImageFormat())
                reference_list.append({page, format.toImageFormat().name(), true});
            else if (format.isAnchor() && !format.anchorHref().isEmpty())
                reference_list.append({page, format.anchorHref(), false});
        }
        for (const QString& anchor : qAsConst(block_anchors)) {
            anchors.insert(anchor);
            if (page_of_anchor.contains(anchor) && page_of_anchor.value(anchor) != page)
                repeated << anchor;
            page_of_anchor.insert(anchor, page);
        }
        const int level = block.blockFormat().headingLevel();
        if ((level == 1 || level == 2) && !block_anchors.isEmpty())
            heading_list.append({level, block.text().simplified(), block_anchors.first(), page});
    }
}
