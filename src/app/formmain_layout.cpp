// Placing the panes: the geometry is computed in twips by PaneLayout and applied here in pixels.
#include "formmain.h"

#include "AppState.h"
#include "QueueArea.h"
#include "SplitterBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeView>

namespace {

// The quick-connect bar sits between the toolbar and the log.
constexpr int QuickConnectTop = 600;
constexpr int LogTop = 960;
// The layout's window height includes the frame below the status bar.
constexpr int FrameBelowStatusBar = 300;

} // namespace

int formmain::twipsToPixels(int twips) const
{
    return Twips::toPixels(twips, logicalDpiY());
}

int formmain::pixelsToTwips(int pixels) const
{
    return Twips::fromPixels(pixels, logicalDpiY());
}

void formmain::layOut()
{
    // Before the first show the central widget has no real size yet.
    const QSize area = isVisible() ? centralWidget()->size() : size() - QSize(0, menuBar()->sizeHint().height());
    m_layout = PaneLayout::start(pixelsToTwips(area.width()), pixelsToTwips(area.height()) + FrameBelowStatusBar);
    m_state.splitterDragging = false;
    applyLayout();
}

bool formmain::moveSplitter(int number, int offsetTwips)
{
    return m_layout.moveSplitter(number, offsetTwips);
}

void formmain::applyLayout()
{
    auto place = [this](QWidget *w, PaneLayout::Control c) {
        const TwipRect r = m_layout.rect(c);
        w->setGeometry(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width), twipsToPixels(r.height));
    };
    const int width = centralWidget()->width();
    Toolbar1->setGeometry(0, 0, width, twipsToPixels(QuickConnectTop));
    m_quickConnect->setGeometry(0, twipsToPixels(QuickConnectTop), width, twipsToPixels(LogTop - QuickConnectTop));
    place(StatusBar1, PaneLayout::StatusBar1);
    place(RichTextBox1, PaneLayout::RichTextBox1);
    place(ListView3, PaneLayout::ListView3);
    place(ListView1, PaneLayout::ListView1);
    place(TreeView1, PaneLayout::TreeView1);
    place(TreeView2, PaneLayout::TreeView2);
    place(txtLocal, PaneLayout::txtLocal);
    place(txtDirectory, PaneLayout::txtDirectory);
    place(queueArea, PaneLayout::ListView2);
    const PaneLayout::Control bars[] = {PaneLayout::splitter1, PaneLayout::splitter2, PaneLayout::splitter3,
                                        PaneLayout::splitter4, PaneLayout::splitter5};
    for (int i = 0; i < 5; ++i) {
        place(splitter[i], bars[i]);
        splitter[i]->raise();
    }
}

void formmain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!centralWidget() || centralWidget()->size().isEmpty())
        return;
    // Keep the panes' proportions and a layout that obeys the splitter rules.
    m_layout.resize(pixelsToTwips(centralWidget()->width()),
                    pixelsToTwips(centralWidget()->height()) + FrameBelowStatusBar);
    applyLayout();
}
