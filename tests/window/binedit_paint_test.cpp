#include "binedit_test_window.h"

#include <vector>

// Paints of the view into a memory device context, read back pixel by pixel.
namespace {

const COLORREF LightGrey = RGB(192, 192, 192);
const COLORREF White = RGB(255, 255, 255);
const COLORREF Red = RGB(255, 0, 0);

COLORREF Inverted(COLORREF colour)
{
    return colour ^ 0x00FFFFFFu;
}

}  // namespace

class BinEditPaintTest : public BinEditWindowTest {
protected:
    std::vector<unsigned char> blanks = std::vector<unsigned char>(40, 0x20);

    int Width()
    {
        RECT client;
        GetClientRect(view, &client);
        return client.right;
    }
    int Height() { return ClientHeight(); }

    // Centre of cell column `cell` in screen row `row`.
    int CellX(int cell) { return cell * cellWidth + cellWidth / 2; }
    int CellY(int row) { return row * cellHeight + cellHeight / 2; }

    // Every pixel of the cell has `colour`.
    bool CellIs(BinEditTestCanvas &canvas, int cell, int row, COLORREF colour)
    {
        for (int y = row * cellHeight; y < (row + 1) * cellHeight; y++)
            for (int x = cell * cellWidth; x < (cell + 1) * cellWidth; x++)
                if (canvas.At(x, y) != colour)
                    return false;
        return true;
    }

    void Paint(BinEditTestCanvas &canvas) { PaintBinEdit(view, State(), canvas.dc); }
};

TEST_F(BinEditPaintTest, HeaderIsLightGreyWithTheFocusAndWhiteWithout)
{
    SetData(blanks.data(), blanks.size());
    COLORREF window = GetSysColor(COLOR_WINDOW);
    for (int focused = 0; focused < 2; focused++) {
        SetFocus(focused ? view : parent);
        BinEditTestCanvas canvas(Width(), Height(), Red);
        Paint(canvas);
        COLORREF label = focused ? LightGrey : White;
        // cell 10 of the header is the blank between "+0" and "+1"
        EXPECT_EQ(canvas.At(CellX(10), CellY(0)), label) << focused;
        EXPECT_TRUE(CellIs(canvas, 10, 0, label)) << focused;
        // the offset column's blanks do not exist: "000000" fills cells 0 to 5
        EXPECT_EQ(canvas.At(0, cellHeight), label) << focused;
        // cells no string covers keep the window colour
        EXPECT_TRUE(CellIs(canvas, 3, 0, window)) << focused;   // left of the header
        EXPECT_TRUE(CellIs(canvas, 6, 1, window)) << focused;   // gap before the hex column
        EXPECT_TRUE(CellIs(canvas, 10, 1, window)) << focused;  // blank after a byte
        EXPECT_TRUE(CellIs(canvas, 75, 1, window)) << focused;  // right of the text column
        EXPECT_TRUE(CellIs(canvas, 20, 5, window)) << focused;  // below the last row
        EXPECT_EQ(canvas.At(Width() - 1, Height() - 1), window) << focused;
    }
}

TEST_F(BinEditPaintTest, CaretCellsAreInvertedByFocusAndColumn)
{
    // blank bytes: their cells hold no glyph, so a mark is all there is
    SetData(blanks.data(), blanks.size());
    SendMessageA(view, BEM_SETCARET, 0x13, 0);  // hex cell 17, text cell 60, row 2
    COLORREF window = GetSysColor(COLOR_WINDOW);
    COLORREF inverted = Inverted(window);

    // focused, hex column: the text cell is inverted, the hex cell carries the caret
    SetFocus(view);
    {
        BinEditTestCanvas canvas(Width(), Height(), Red);
        Paint(canvas);
        EXPECT_TRUE(CellIs(canvas, 60, 2, inverted));
        EXPECT_TRUE(CellIs(canvas, 59, 2, window));
        EXPECT_TRUE(CellIs(canvas, 61, 2, window));
        EXPECT_TRUE(CellIs(canvas, 60, 1, window));
        EXPECT_EQ(canvas.At(17 * cellWidth, 2 * cellHeight), window);
    }

    // after Tab the two swap
    Key(VK_TAB);
    {
        BinEditTestCanvas canvas(Width(), Height(), Red);
        Paint(canvas);
        int hexRight = 18 * cellWidth - 1, hexBottom = 3 * cellHeight - 1;
        EXPECT_EQ(canvas.At(17 * cellWidth, 2 * cellHeight), inverted);  // glyph-free corners
        EXPECT_EQ(canvas.At(hexRight, hexBottom), inverted);
        EXPECT_EQ(canvas.At(hexRight + 1, hexBottom), window);
        EXPECT_TRUE(CellIs(canvas, 60, 2, window));
    }

    // without the focus, the active column has a frame and the other a block
    SetFocus(parent);
    {
        BinEditTestCanvas canvas(Width(), Height(), Red);
        Paint(canvas);
        int left = 60 * cellWidth, top = 2 * cellHeight;
        int right = left + cellWidth - 1, bottom = top + cellHeight - 1;
        EXPECT_EQ(canvas.At(left, top), inverted);
        EXPECT_EQ(canvas.At(right, top), inverted);
        EXPECT_EQ(canvas.At(left, bottom), inverted);
        EXPECT_EQ(canvas.At(right, bottom), inverted);
        EXPECT_EQ(canvas.At(left + cellWidth / 2, top + cellHeight / 2),
                  window);  // inside the frame
        EXPECT_EQ(canvas.At(right + 1, top), window);
        EXPECT_EQ(canvas.At(left, bottom + 1), window);
        // the hex cell: inverted whole, but the glyph of its "2" is inverted too
        EXPECT_EQ(canvas.At(17 * cellWidth, 2 * cellHeight), inverted);
        EXPECT_EQ(canvas.At(18 * cellWidth - 1, 3 * cellHeight - 1), inverted);
    }
}

TEST_F(BinEditPaintTest, CaretPastTheEndMarksNothing)
{
    SetData(blanks.data(), blanks.size());
    SendMessageA(view, BEM_SETCARET, 50, 0);
    SetFocus(parent);
    BinEditTestCanvas canvas(Width(), Height(), Red);
    Paint(canvas);
    COLORREF window = GetSysColor(COLOR_WINDOW);
    for (int row = 1; row <= 4; row++)
        for (int cell = 57; cell < 73; cell++)
            EXPECT_TRUE(CellIs(canvas, cell, row, window)) << row << " " << cell;
}

TEST_F(BinEditPaintTest, BeforeAFontOnlyTheBackgroundIsPainted)
{
    HWND fresh = CreateView();
    ASSERT_NE(fresh, (HWND)NULL);
    SendMessageA(fresh, BEM_SETDATA, blanks.size(), (LPARAM)blanks.data());
    SetFocus(fresh);
    RECT client;
    GetClientRect(fresh, &client);
    BinEditTestCanvas canvas(client.right + 4, client.bottom + 4, Red);
    PaintBinEdit(fresh, (BinEditState *)GetWindowState(fresh), canvas.dc);
    COLORREF window = GetSysColor(COLOR_WINDOW);
    for (int y = 0; y < client.bottom; y += 3)
        for (int x = 0; x < client.right; x += 3)
            ASSERT_EQ(canvas.At(x, y), window) << x << "," << y;
    // exactly the client area
    EXPECT_EQ(canvas.At(client.right - 1, client.bottom - 1), window);
    EXPECT_EQ(canvas.At(client.right, client.bottom - 1), Red);
    EXPECT_EQ(canvas.At(client.right - 1, client.bottom), Red);
    DestroyWindow(fresh);
}
