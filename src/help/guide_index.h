// SPDX-License-Identifier: GPL-3.0-or-later
// The user guide as the program ships it in its resources: the pages in reading order, their
// headings (the contents list), the anchors a section is reached by, and every link and
// picture on the pages. Pages are read with the same HTML reader the help browser shows them
// with, so what is found here is what the browser finds.
#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QVector>

class guide_index
{
public:
    /// A chapter title (level 1, one per page) or a section title (level 2).
    struct heading
    {
        int level = 0;
        QString title;
        QString anchor;
        QUrl page;
    };

    /// A link or picture as written on a page, and the page it is on.
    struct reference
    {
        QUrl page;
        QString target;
        bool picture = false;
    };

    /// Reads every page of the guide.
    guide_index();

    /// Makes the guide's resources (pages, pictures, the licence text) readable.
    static void register_resources();

    /// The pages in reading order (qrc:/guide/... URLs); the first is the start page.
    static QList<QUrl> pages();
    static QUrl start_page();

    const QVector<heading>& headings() const { return heading_list; }
    const QVector<reference>& references() const { return reference_list; }
    /// The page and anchor of a section (any anchor of any page); empty when none has it.
    QUrl url_of(const QString& section) const;
    /// Whether a page of the guide carries the anchor; an empty anchor asks for the page.
    bool has_anchor(const QUrl& page, const QString& anchor) const;
    /// Anchors set on more than one page, which would make a section name ambiguous.
    QStringList repeated_anchors() const { return repeated; }
    /// Pages that could not be read.
    QList<QUrl> missing_pages() const { return missing; }

private:
    void read_page(const QUrl& page);

    QVector<heading> heading_list;
    QVector<reference> reference_list;
    QHash<QString, QSet<QString>> anchors_by_page;
    QHash<QString, QUrl> page_of_anchor;
    QStringList repeated;
    QList<QUrl> missing;
};
