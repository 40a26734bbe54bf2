#include "gui/mainwindow/outputbar.h"

#include <QLineEdit>
#include <QPushButton>

#include "gui/mainwindow/twips.h"
#include "gui/skin/imagelist.h"

namespace Sveltra {

OutputBar::OutputBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setAccessibleName(tr("输出路径栏"));
    resize(width(), Layout::ToPixels(Layout::OutputBarHeight));

    m_browse = new QPushButton(this);
    m_browse->setObjectName(QStringLiteral("Command1"));
    m_browse->setToolTip(tr("单击这个按钮选择输出路径"));
    m_browse->setAccessibleName(tr("单击这个按钮选择输出路径"));
    m_browse->setIcon(ImageListIcon(QStringLiteral("toolbar"), 4));
    m_browse->setIconSize(QSize(24, 24));

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("txtOutput"));
    m_text->setToolTip(tr("输出路径"));
    m_text->setAccessibleName(tr("输出路径"));
    m_text->resize(m_text->width(), Layout::ToPixels(Layout::BrowseButtonHeight));
    placeInside();
}

void OutputBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeInside();
}

void OutputBar::placeInside()
{
    const Layout::OutputBarInner inner = Layout::PlaceOutputBar(Layout::TwipsOf(this), Layout::TwipsOf(m_text));
    Layout::Place(m_browse, inner.browseButton);
    Layout::Place(m_text, inner.textBox);
}

} // namespace Sveltra
