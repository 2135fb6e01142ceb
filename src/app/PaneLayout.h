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
    // The least height of the log, the lists, the trees and the queue, and width of each side, that
    // a resize leaves them: a header and a row or two.
    static constexpr int MinimumPane = 600;

    // Below these the move rules cannot all hold; smaller windows are laid out as if they had this size.
    static constexpr int MinimumWidth = 2 * MinimumPane + SplitterThickness;
    static constexpr int MinimumHeight =
        LogTop + 4 * MinimumPane + 3 * SplitterThickness + PathFieldHeight + BelowQueue;

    // The layout for a window of width × height twips: the start table, then a zero move of each splitter.
    // When the table breaks the move rules or leaves a pane below its minimum (heights below 6360),
    // the compact layout is used instead.
    static PaneLayout start(int width, int height);

    // Moves splitter n (1..5) by offset twips (down or right when positive). A move that fails one of
    // its checks changes nothing and returns false.
    bool moveSplitter(int n, int offset);

    // Puts each splitter at the fraction of the window the user last gave it (by a move, or the start),
    // then clamps them into the move rules and the panes' minimums: a shrink loses nothing for later.
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
        friend bool operator==(const SplitterPlaces &, const SplitterPlaces &) = default;
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
    SplitterPlaces places() const;
    void remember();
    void placeFromSplitters(const SplitterPlaces &p);

    std::array<TwipRect, ControlCount> m_rects{};
    int m_width = 0;
    int m_height = 0;
    // The places the user chose and the window size they were chosen in.
    SplitterPlaces m_wanted{};
    int m_wantedWidth = 0;
    int m_wantedHeight = 0;
};
