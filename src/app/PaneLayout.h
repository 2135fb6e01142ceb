#pragma once

#include "Twips.h"

#include <array>

// Where the main window's panes and splitter bars sit, in twips of the window's client area.
// Pure geometry: the window reads rect() for each control and asks moveSplitter() while a bar is dragged.
//
// Top to bottom: toolbar and quick-connect bar (not placed here), the session log from 960, splitter1,
// the local side (list, splitter2, tree, path field) left of splitter3 and the remote side
// (list, splitter4, tree, path field) right of it, splitter5, the queue, the status bar.
class PaneLayout
{
public:
    enum Control {
        StatusBar1,
        splitter1,
        splitter2,
        splitter3,
        splitter4,
        splitter5,
        RichTextBox1,
        ListView3,
        ListView1,
        TreeView1,
        TreeView2,
        txtLocal,
        txtDirectory,
        ListView2,
    };
    static constexpr int ControlCount = ListView2 + 1;

    static constexpr int LogTop = 960;
    static constexpr int SplitterThickness = 60;
    static constexpr int PathFieldHeight = 375;
    static constexpr int StatusBarHeight = 375;
    static constexpr int BelowQueue = 675; // from the status bar's top to the window's bottom

    // Below these the move rules cannot all hold; smaller windows are laid out as if they had this size.
    static constexpr int MinimumWidth = SplitterThickness;
    static constexpr int MinimumHeight =
        LogTop + 2 * SplitterThickness + PathFieldHeight + SplitterThickness + BelowQueue;

    // The layout for a window of width × height twips: the start table, then a zero move of each splitter.
    // When the table breaks the move rules (heights below about 5160), the compact layout is used instead.
    static PaneLayout start(int width, int height);

    // Moves splitter n (1..5) by offset twips (down or right when positive). A move that fails one of
    // its checks changes nothing and returns false.
    bool moveSplitter(int n, int offset);

    // Keeps each splitter at the same fraction of the window, then clamps them into the move rules.
    void resize(int width, int height);

    TwipRect rect(Control control) const { return m_rects[control]; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Every splitter's checks pass for an offset of 0.
    bool obeysMoveRules() const;
    // No negative size, everything inside the window, no two controls overlapping.
    bool isUsable() const;

    static Control splitter(int n);
    static const char *controlName(Control control);

    friend bool operator==(const PaneLayout &, const PaneLayout &) = default;

private:
    struct Range
    {
        int low;
        int high;
        bool contains(int v) const { return low <= v && v <= high; }
    };
    struct SplitterPlaces
    {
        int s1Top, s2Top, s3Left, s4Top, s5Top;
    };

    PaneLayout(int width, int height);

    TwipRect &at(Control control) { return m_rects[control]; }
    Range offsetRange(int n) const;
    void applyMove(int n, int offset);
    void moveSplitter1(int y);
    void moveSplitter2(int y);
    void moveSplitter3(int x);
    void moveSplitter4(int y);
    void moveSplitter5(int y);

    void applyStartTable();
    bool runZeroMoves();
    SplitterPlaces compactPlaces() const;
    SplitterPlaces clampedIntoRules(SplitterPlaces p) const;
    void placeFromSplitters(const SplitterPlaces &p);

    std::array<TwipRect, ControlCount> m_rects{};
    int m_width = 0;
    int m_height = 0;
};
