// SPDX-License-Identifier: GPL-3.0-or-later
#include "help_browser.h"

#include <QAction>
#include <QDebug>
#include <QHeaderView>
#include <QKeySequence>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int url_role = Qt::UserRole;

} // namespace

help_browser::help_browser(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName("help_browser");
    setWindowTitle("Quorvane User Guide");
    contents = new QTreeWidget;
    contents->setObjectName("help_contents");
    contents->setHeaderHidden(true);
    page = new QTextBrowser;
    page->setObjectName("help_page");
    page->setOpenExternalLinks(true);

    auto* split = new QSplitter;
    split->addWidget(contents);
    split->addWidget(page);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 800});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(build_tool_bar());
    layout->addWidget(split);
    resize(1100, 760);

    build_contents();
    connect(page, &QTextBrowser::sourceChanged, this, &help_browser::when_source_changed);
    connect(contents, &QTreeWidget::itemClicked, this, &help_browser::when_contents_clicked);
    connect(contents, &QTreeWidget::itemActivated, this, &help_browser::when_contents_clicked);
    open(guide_index::start_page());
}

bool help_browser::show_section(const QString& section)
{
    const QUrl url = guide.url_of(section);
    if (url.isEmpty())
        qWarning() << "The user guide has no section" << section;
    open(url.isEmpty() ? guide_index::start_page() : url);
    show();
    raise();
    activateWindow();
    return !url.isEmpty();
}

QUrl help_browser::current_url() const
{
    return page->source();
}

QToolBar* help_browser::build_tool_bar()
{
    auto* bar = new QToolBar(this);
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "Back");
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    connect(back, &QAction::triggered, this, [this] { page->backward(); });
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "Forward");
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    connect(forward, &QAction::triggered, this, [this] { page->forward(); });
    QAction* home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), "Contents");
    connect(home, &QAction::triggered, this, [this] { open(guide_index::start_page()); });
    connect(page, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(page, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return bar;
}

/// Chapters at the top level, their sections below them.
void help_browser::build_contents()
{
    QTreeWidgetItem* chapter = nullptr;
    for (const guide_index::heading& h : guide.headings()) {
        QUrl url = h.page;
        if (h.level == 1) {
            chapter = new QTreeWidgetItem(contents, {h.title});
        } else {
            url.setFragment(h.anchor);
            auto* item = new QTreeWidgetItem({h.title});
            if (chapter)
                chapter->addChild(item);
            else
                contents->addTopLevelItem(item);
            item->setData(0, url_role, url);
            continue;
        }
        chapter->setData(0, url_role, url);
    }
}

void help_browser::open(const QUrl& url)
{
    // Asked for the section it already shows, the browser does not move; the reader may have
    // scrolled away since.
    page->setSource(url);
    if (!url.fragment().isEmpty())
        page->scrollToAnchor(url.fragment());
}

void help_browser::when_source_changed(const QUrl& url)
{
    QTreeWidgetItem* item = contents_item_of(url);
    if (!item)
        return;
    contents->setCurrentItem(item);
    contents->scrollToItem(item);
}

void help_browser::when_contents_clicked(QTreeWidgetItem* item)
{
    if (item)
        open(item->data(0, url_role).toUrl());
}

/// The contents entry of a section, else of its page.
QTreeWidgetItem* help_browser::contents_item_of(const QUrl& url) const
{
    const QUrl page_url = url.adjusted(QUrl::RemoveFragment);
    QTreeWidgetItem* page_item = nullptr;
    for (QTreeWidgetItemIterator it(contents); *it; ++it) {
        const QUrl item_url = (*it)->data(0, url_role).toUrl();
        if (item_url == url)
            return *it;
        if (!page_item && item_url == page_url)
            page_item = *it;
    }
    return page_item;
}
