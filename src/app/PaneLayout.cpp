#include "PaneLayout.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

// Shares of the free height (log : file lists : trees : queue) in the compact layout: what the start
// table gives an 800-line screen (H = 12000), so a small window looks like a scaled-down usual one.
constexpr int CompactLog = 1560;
constexpr int CompactLists = 3420;
constexpr int CompactTrees = 2565;
constexpr int CompactQueue = 2265;
constexpr int CompactTotal = CompactLog + CompactLists + CompactTrees + CompactQueue;

int scaled(int value, int from, int to)
{
    return from > 0 ? int(std::lround(double(value) * to / from)) : value;
}

} // namespace

PaneLayout::PaneLayout(int width, int height)
    : m_width(std::max(width, MinimumWidth)), m_height(std::max(height, MinimumHeight))
{
}

PaneLayout PaneLayout::start(int width, int height)
{
    PaneLayout layout(width, height);
    layout.applyStartTable();
    if (!layout.runZeroMoves() || layout.clampedIntoRules(layout.places()) != layout.places())
        layout.placeFromSplitters(layout.compactPlaces());
    layout.remember();
    return layout;
}

void PaneLayout::applyStartTable()
{
    const int W = m_width;
    const int H = m_height;
    at(StatusBar1) = {0, H - BelowQueue, W, StatusBarHeight};
    at(splitter1) = {0, 2520, W, SplitterThickness};
    at(splitter2) = {0, H / 2, W / 2 - 30, SplitterThickness};
    at(splitter3) = {W / 2 - 30, 2580, SplitterThickness, 8620};
    const int rightSide = at(splitter3).right();
    at(splitter4) = {rightSide, H / 2, W - rightSide, SplitterThickness};
    at(splitter5) = {0, 3 * H / 4, W, SplitterThickness};
    at(RichTextBox1) = {0, LogTop, W, at(splitter1).top - LogTop};
    const int listsTop = at(splitter1).bottom();
    at(ListView3) = {0, listsTop, at(splitter3).left, at(splitter2).top - listsTop};
    at(ListView1) = {rightSide, listsTop, W - rightSide, at(splitter4).top - listsTop};
    // The table defines each tree and its path field by the other; the path fields sit on splitter5.
    const int fieldsTop = at(splitter5).top - PathFieldHeight;
    at(TreeView1) = {0, at(splitter2).bottom(), at(splitter3).left, fieldsTop - at(splitter2).bottom()};
    at(TreeView2) = {rightSide, at(splitter4).bottom(), W - rightSide, fieldsTop - at(splitter4).bottom()};
    at(txtLocal) = {0, at(TreeView1).bottom(), at(splitter3).left, PathFieldHeight};
    at(txtDirectory) = {rightSide, at(TreeView2).bottom(), W - rightSide, PathFieldHeight};
    at(ListView2) = {0, at(splitter5).bottom(), W, H - at(splitter5).bottom() - BelowQueue};
}

bool PaneLayout::runZeroMoves()
{
    bool allMoved = true;
    for (int n = 1; n <= 5; ++n)
        allMoved = moveSplitter(n, 0) && allMoved;
    return allMoved && obeysMoveRules();
}

PaneLayout::SplitterPlaces PaneLayout::compactPlaces() const
{
    const qint64 free = m_height - MinimumHeight;
    const int log = int(free * CompactLog / CompactTotal);
    const int lists = int(free * CompactLists / CompactTotal);
    const int trees = int(free * CompactTrees / CompactTotal);
    const int s1Top = LogTop + MinimumPane + log;
    const int s2Top = s1Top + SplitterThickness + MinimumPane + lists;
    const int s5Top = s2Top + SplitterThickness + MinimumPane + trees + PathFieldHeight;
    return {s1Top, s2Top, m_width / 2 - 30, s2Top, s5Top};
}

void PaneLayout::resize(int width, int height)
{
    width = std::max(width, MinimumWidth);
    height = std::max(height, MinimumHeight);
    const auto top = [&](int wantedTop) { return scaled(wantedTop, m_wantedHeight, height); };
    const SplitterPlaces wanted{top(m_wanted.s1Top), top(m_wanted.s2Top), scaled(m_wanted.s3Left, m_wantedWidth, width),
                                top(m_wanted.s4Top), top(m_wanted.s5Top)};
    m_width = width;
    m_height = height;
    placeFromSplitters(clampedIntoRules(wanted));
}

// Pushes the bars down from the log's top, then up from the status bar, so that each pane keeps its
// minimum and the checks hold; the minimum window size guarantees both passes can be met at once.
PaneLayout::SplitterPlaces PaneLayout::clampedIntoRules(SplitterPlaces p) const
{
    const int bar = SplitterThickness;
    const int pane = MinimumPane;
    p.s1Top = std::max(p.s1Top, LogTop + pane);
    p.s2Top = std::max(p.s2Top, p.s1Top + bar + pane);
    p.s4Top = std::max(p.s4Top, p.s1Top + bar + pane);
    p.s5Top = std::max(p.s5Top, std::max(p.s2Top, p.s4Top) + bar + pane + PathFieldHeight);

    p.s5Top = std::min(p.s5Top, m_height - BelowQueue - pane - bar);
    p.s2Top = std::min(p.s2Top, p.s5Top - PathFieldHeight - pane - bar);
    p.s4Top = std::min(p.s4Top, p.s5Top - PathFieldHeight - pane - bar);
    p.s1Top = std::min(p.s1Top, std::min(p.s2Top, p.s4Top) - pane - bar);

    p.s3Left = std::clamp(p.s3Left, pane, m_width - bar - pane);
    return p;
}

PaneLayout::SplitterPlaces PaneLayout::places() const
{
    return {rect(splitter1).top, rect(splitter2).top, rect(splitter3).left, rect(splitter4).top, rect(splitter5).top};
}

void PaneLayout::remember()
{
    m_wanted = places();
    m_wantedWidth = m_width;
    m_wantedHeight = m_height;
}

// Every control from the five bars, by the same formulas the moves use.
void PaneLayout::placeFromSplitters(const SplitterPlaces &p)
{
    const int W = m_width;
    const int bar = SplitterThickness;
    const int listsTop = p.s1Top + bar;
    const int fieldsTop = p.s5Top - PathFieldHeight;
    const int leftWidth = p.s3Left;
    const int rightSide = p.s3Left + bar;
    const int rightWidth = W - rightSide;

    at(StatusBar1) = {0, m_height - BelowQueue, W, StatusBarHeight};
    at(splitter1) = {0, p.s1Top, W, bar};
    at(splitter2) = {0, p.s2Top, leftWidth, bar};
    at(splitter3) = {p.s3Left, listsTop, bar, p.s5Top - listsTop};
    at(splitter4) = {rightSide, p.s4Top, rightWidth, bar};
    at(splitter5) = {0, p.s5Top, W, bar};
    at(RichTextBox1) = {0, LogTop, W, p.s1Top - LogTop};
    at(ListView3) = {0, listsTop, leftWidth, p.s2Top - listsTop};
    at(ListView1) = {rightSide, listsTop, rightWidth, p.s4Top - listsTop};
    at(TreeView1) = {0, p.s2Top + bar, leftWidth, fieldsTop - (p.s2Top + bar)};
    at(TreeView2) = {rightSide, p.s4Top + bar, rightWidth, fieldsTop - (p.s4Top + bar)};
    at(txtLocal) = {0, fieldsTop, leftWidth, PathFieldHeight};
    at(txtDirectory) = {rightSide, fieldsTop, rightWidth, PathFieldHeight};
    at(ListView2) = {0, p.s5Top + bar, W, m_height - BelowQueue - (p.s5Top + bar)};
}

bool PaneLayout::moveSplitter(int n, int offset)
{
    if (n < 1 || n > 5 || !offsetRange(n).contains(offset))
        return false;
    applyMove(n, offset);
    remember();
    return true;
}

// The checks of each move, solved for the offset.
PaneLayout::Range PaneLayout::offsetRange(int n) const
{
    const TwipRect s1 = rect(splitter1), s2 = rect(splitter2), s3 = rect(splitter3);
    const TwipRect s4 = rect(splitter4), s5 = rect(splitter5);
    switch (n) {
    case 1: // s1.Top + Y >= 960; bottom(s1) + Y <= s2.Top; bottom(s1) + Y <= s4.Top
        return {LogTop - s1.top, std::min(s2.top - s1.bottom(), s4.top - s1.bottom())};
    case 2: // s2.Top + Y >= bottom(s1); bottom(s2) + txtLocal.Height + Y <= s5.Top
        return {s1.bottom() - s2.top, s5.top - s2.bottom() - rect(txtLocal).height};
    case 3: // 0 <= s3.Left + X <= W - s3.Width
        return {-s3.left, m_width - s3.width - s3.left};
    case 4: // s4.Top + Y >= bottom(s1); bottom(s4) + 375 + Y <= s5.Top
        return {s1.bottom() - s4.top, s5.top - s4.bottom() - PathFieldHeight};
    case 5: // s5.Top + Y >= bottom(s2) + 375 and bottom(s4) + 375; s5.Top + Y <= H - 675 - s5.Height
        return {std::max(s2.bottom(), s4.bottom()) + PathFieldHeight - s5.top,
                m_height - BelowQueue - s5.height - s5.top};
    }
    return {1, 0};
}

void PaneLayout::applyMove(int n, int offset)
{
    switch (n) {
    case 1:
        return moveSplitter1(offset);
    case 2:
        return moveSplitter2(offset);
    case 3:
        return moveSplitter3(offset);
    case 4:
        return moveSplitter4(offset);
    case 5:
        return moveSplitter5(offset);
    }
}

void PaneLayout::moveSplitter1(int y)
{
    at(splitter1).top += y;
    const int listsTop = rect(splitter1).bottom();
    at(ListView1).top = listsTop;
    at(ListView1).height = rect(splitter4).top - listsTop;
    at(ListView3).top = listsTop;
    at(ListView3).height = rect(splitter2).top - listsTop;
    at(splitter3).height = rect(splitter5).top - listsTop;
    at(splitter3).top = listsTop;
    at(RichTextBox1).height = rect(splitter1).top - LogTop;
}

void PaneLayout::moveSplitter2(int y)
{
    at(splitter2).top += y;
    at(ListView3).height = rect(splitter2).top - rect(splitter1).bottom();
    at(TreeView1).top = rect(splitter2).bottom();
    at(TreeView1).height = rect(txtLocal).top - rect(splitter2).bottom();
}

void PaneLayout::moveSplitter3(int x)
{
    at(splitter3).left += x;
    const int rightSide = rect(splitter3).right();
    for (Control c : {ListView1, splitter4, TreeView2, txtDirectory}) {
        at(c).left = rightSide;
        at(c).width = m_width - rightSide;
    }
    for (Control c : {ListView3, splitter2, TreeView1, txtLocal}) {
        at(c).left = 0;
        at(c).width = rect(splitter3).left;
    }
}

void PaneLayout::moveSplitter4(int y)
{
    at(splitter4).top += y;
    at(ListView1).height = rect(splitter4).top - rect(splitter1).bottom();
    at(TreeView2).top = rect(splitter4).bottom();
    at(TreeView2).height = rect(txtDirectory).top - rect(splitter4).bottom();
}

void PaneLayout::moveSplitter5(int y)
{
    at(splitter5).top += y;
    const int s5Top = rect(splitter5).top;
    at(txtDirectory).top = s5Top - PathFieldHeight;
    at(txtLocal).top = s5Top - PathFieldHeight;
    at(TreeView2).top = rect(splitter4).bottom();
    at(TreeView2).height = rect(txtDirectory).top - rect(splitter4).bottom();
    at(TreeView1).top = rect(splitter2).bottom();
    at(TreeView1).height = rect(txtLocal).top - rect(splitter2).bottom();
    at(ListView2).top = rect(splitter5).bottom();
    at(ListView2).height = m_height - BelowQueue - rect(splitter5).bottom();
    at(splitter3).height = s5Top - rect(splitter1).bottom();
}

bool PaneLayout::obeysMoveRules() const
{
    for (int n = 1; n <= 5; ++n) {
        if (!offsetRange(n).contains(0))
            return false;
    }
    return true;
}

bool PaneLayout::isUsable() const
{
    for (const TwipRect &r : m_rects) {
        if (r.width < 0 || r.height < 0 || r.left < 0 || r.top < 0 || r.right() > m_width || r.bottom() > m_height)
            return false;
    }
    for (int i = 0; i < ControlCount; ++i) {
        for (int j = i + 1; j < ControlCount; ++j) {
            const TwipRect &a = m_rects[i];
            const TwipRect &b = m_rects[j];
            if (a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom())
                return false;
        }
    }
    return true;
}

PaneLayout::Control PaneLayout::splitter(int n)
{
    Q_ASSERT(n >= 1 && n <= 5);
    return Control(splitter1 + std::clamp(n, 1, 5) - 1);
}

const char *PaneLayout::controlName(Control control)
{
    static constexpr const char *names[ControlCount] = {
        "StatusBar1", "splitter1", "splitter2", "splitter3", "splitter4", "splitter5",    "RichTextBox1",
        "ListView3",  "ListView1", "TreeView1", "TreeView2", "txtLocal",  "txtDirectory", "ListView2"};
    return names[control];
}
