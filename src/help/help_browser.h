// SPDX-License-Identifier: GPL-3.0-or-later
// The user guide's window: the contents on the left, the page on the right, with Back, Forward
// and Contents. It opens at a named section (guide_sections.h); links between pages and to
// sections work as in a web browser, and links to the web open in the desktop's browser.
#pragma once

#include "guide_index.h"

#include <QWidget>

class QTextBrowser;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

class help_browser : public QWidget
{
    Q_OBJECT

public:
    explicit help_browser(QWidget* parent = nullptr);

    /// Shows the window at a section of the guide. An unknown name shows the start page and
    /// returns false.
    bool show_section(const QString& section);

    /// The page (and section) shown.
    QUrl current_url() const;
    const guide_index& index() const { return guide; }

private slots:
    void when_source_changed(const QUrl& url);
    void when_contents_clicked(QTreeWidgetItem* item);

private:
    void build_contents();
    QToolBar* build_tool_bar();
    void open(const QUrl& url);
    QTreeWidgetItem* contents_item_of(const QUrl& url) const;

    guide_index guide;
    QTreeWidget* contents = nullptr;
    QTextBrowser* page = nullptr;
};
