// The binary view's rules as its window procedure strings them together:
// keys, clicks, the scroll bar, the wheel, BEM_SETCARET, BEM_SETDATA, resizes,
// fonts and focus changes in any order, each followed by a paint plan. The
// scroll bar and the system caret are modelled as the platform keeps them.
// Checks: a caret below size stays below it after any key or click; a key
// or click leaves the caret's row in view; the scroll position stays in its
// range; the column is 0 or 1; every text of the plan shows the bytes of its
// cell and lies inside the client area, or in the one row below its bottom
// edge that the platform clips; caret marks sit on the caret byte only; the
// system caret is shown and hidden in balance and only with the focus.
//
// Sizes up to 4 GiB are exercised without copying: the bytes of a large
// view lie in a read-only mapping that ends at an inaccessible page.

#include "controls/binedit/binedit_navigation.h"
#include "tests/support/binedit_scroll_bar.h"
#include "controls/binedit/binedit_paint_plan.h"
#include "controls/binedit/binedit_state.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>

#include <vector>

namespace {

const uint64_t kLargeSpan = 0x100000000ull;

// 4 GiB of zero pages, then one page that faults on any access.
unsigned char *LargeBytesEnd()
{
    static unsigned char *end;
    if (end == 0) {
        void *block = mmap(0, kLargeSpan + 4096, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        FUZZ_CHECK(block != MAP_FAILED);
        end = (unsigned char *)block + kLargeSpan;
        FUZZ_CHECK(mprotect(end, 4096, PROT_NONE) == 0);
    }
    return end;
}

struct View {
    BinEditState state;
    bool largeBytes;  // data points into the mapping, not into a heap block
    BinEditScrollBar bar;
    int32_t clientWidth;
    int32_t clientHeight;
    bool focused;
    int hideCount;  // the platform caret's hide count while it exists
};

void DropBytes(View *view)
{
    if (view->largeBytes) {
        view->state.data = 0;
        view->state.size = 0;
        view->largeBytes = false;
    } else {
        FreeBinEditData(&view->state);
    }
}

void OnSize(View *view)
{
    SetBinEditScrollRange(&view->bar, 0, GetBinEditLastRow(view->state.size));
    SetBinEditScrollPosition(&view->bar, 0);
}

void EnsureCaretVisible(View *view)
{
    int32_t requests[2];
    int count = GetBinEditCaretScrollRequests(&view->state, view->clientHeight, view->bar.position,
                                              requests);
    FUZZ_CHECK(count >= 0 && count <= 2);
    for (int i = 0; i < count; i++)
        SetBinEditScrollPosition(&view->bar, requests[i]);
}

void SetFocusTo(View *view, bool focused)
{
    if (focused == view->focused)
        return;
    view->focused = focused;
    // WM_SETFOCUS creates the caret hidden; WM_KILLFOCUS destroys it.
    view->hideCount = 1;
    view->state.caretShown = 0;
}

// After a key or a click: the caret's row is one of the whole rows in view.
void CheckCaretInView(const View *view)
{
    const BinEditState &s = view->state;
    if (!HasBinEditCell(&s) || s.caret >= s.size)
        return;
    int32_t wholeRows = view->clientHeight / s.cellHeight - 1;
    if (wholeRows < 1)
        return;
    uint32_t caretRow = s.caret >> 4;
    uint32_t top = (uint32_t)view->bar.position;
    FUZZ_CHECK(top <= caretRow);
    FUZZ_CHECK(caretRow - top <= (uint32_t)wholeRows - 1);
}

void CheckPlan(View *view)
{
    const BinEditState &s = view->state;
    BinEditPaintInput input;
    input.state = &s;
    input.clientWidth = view->clientWidth;
    input.clientHeight = view->clientHeight;
    input.focused = view->focused;
    input.topRow = view->bar.position;
    input.windowColour = 0x00FFFFFF;
    input.windowTextColour = 0x00000000;
    uint32_t capacity = GetBinEditPaintPlanCapacity(&input);
    // Only the rows in view count, so a huge view of a short window is cheap.
    if (capacity > 4000)
        return;
    BinEditPaintPlan plan;
    MakeBinEditPaintPlan(&input, &plan);
    FUZZ_CHECK(plan.count <= plan.capacity && plan.count >= 1);
    const BinEditPaintOp *ops = plan.ops;
    FUZZ_CHECK(ops[0].kind == BINEDIT_PAINT_FILL && ops[0].left == 0 && ops[0].top == 0 &&
               ops[0].right == view->clientWidth + 1 && ops[0].bottom == view->clientHeight + 1);
    bool hasCell = HasBinEditCell(&s);
    if (!hasCell)
        FUZZ_CHECK(plan.count == 1);
    int32_t cw = s.cellWidth;
    int32_t ch = s.cellHeight;
    bool fullPlan = plan.ops != plan.reserve || s.data == 0;
    int32_t rowsInView = hasCell && view->clientHeight > 0 ? (view->clientHeight + ch - 1) / ch : 0;
    uint32_t first = (uint32_t)view->bar.position * 16u;
    int marks = 0;
    int caretMoves = 0;
    int showHide = 0;
    uint32_t caretShown = s.caretShown;
    for (uint32_t k = 1; k < plan.count; k++) {
        const BinEditPaintOp &op = ops[k];
        switch (op.kind) {
        case BINEDIT_PAINT_TEXT: {
            FUZZ_CHECK(op.left >= 0 && op.top >= 0 && op.length >= 1 && op.length <= 65);
            if (op.top == 0) {
                FUZZ_CHECK(op.left == 8 * cw && op.length == 65 && op.text == BinEditHeaderText);
                break;
            }
            FUZZ_CHECK(s.data != 0 && fullPlan);
            FUZZ_CHECK(op.top % ch == 0);
            int32_t r = op.top / ch - 1;
            // Inside the client area, or the last row, which starts at or
            // below the bottom edge and is clipped.
            FUZZ_CHECK(r >= 0 && r < rowsInView);
            uint32_t rowOffset = first + 16u * (uint32_t)r;
            FUZZ_CHECK(rowOffset < s.size);
            FUZZ_CHECK(op.left % cw == 0);
            int32_t cell = op.left / cw;
            const char *chars = GetBinEditPaintOpText(&op);
            if (cell == 0) {
                char expected[8];
                uint32_t length = FormatBinEditOffset(rowOffset, expected);
                FUZZ_CHECK(op.length == length);
                for (uint32_t i = 0; i < length; i++)
                    FUZZ_CHECK(chars[i] == expected[i]);
            } else if (cell >= 8 && cell < 56) {
                FUZZ_CHECK((cell - 8) % 3 == 0);
                uint32_t i = (uint32_t)(cell - 8) / 3;
                FUZZ_CHECK(rowOffset + i < s.size && rowOffset + i >= rowOffset);
                unsigned char byte = s.data[rowOffset + i];
                static const char digits[] = "0123456789ABCDEF";
                FUZZ_CHECK(op.length == (i == 7 ? 3u : 2u));
                FUZZ_CHECK(chars[0] == digits[byte >> 4] && chars[1] == digits[byte & 15]);
                if (i == 7)
                    FUZZ_CHECK(chars[2] == '-');
            } else {
                FUZZ_CHECK(cell >= 57 && cell < 73);
                uint32_t i = (uint32_t)(cell - 57);
                FUZZ_CHECK(rowOffset + i < s.size && rowOffset + i >= rowOffset);
                unsigned char byte = s.data[rowOffset + i];
                FUZZ_CHECK(op.length == 1);
                FUZZ_CHECK(chars[0] == (byte >= 0x20 && byte <= 0x7E ? (char)byte : '.'));
            }
            break;
        }
        case BINEDIT_PAINT_XOR_OUTLINE:
        case BINEDIT_PAINT_XOR_BLOCK:
        case BINEDIT_PAINT_CARET_MOVE: {
            if (op.kind == BINEDIT_PAINT_CARET_MOVE) {
                caretMoves++;
                if (s.data == 0 || !fullPlan) {
                    FUZZ_CHECK(op.left == 8 * cw && op.top == ch);
                    break;
                }
                FUZZ_CHECK(view->focused);
            }
            marks++;
            FUZZ_CHECK(s.caret < s.size);
            FUZZ_CHECK(op.top > 0 && op.top % ch == 0 && op.left % cw == 0);
            int32_t r = op.top / ch - 1;
            FUZZ_CHECK(r < rowsInView);
            int32_t cell = op.left / cw;
            uint32_t i;
            int32_t cellColumn;
            if (cell >= 57) {
                i = (uint32_t)(cell - 57);
                cellColumn = BINEDIT_TEXT_COLUMN;
            } else {
                FUZZ_CHECK(cell >= 8 && (cell - 8) % 3 == 0);
                i = (uint32_t)(cell - 8) / 3;
                cellColumn = BINEDIT_HEX_COLUMN;
            }
            FUZZ_CHECK(i < 16 && first + 16u * (uint32_t)r + i == s.caret);
            if (op.kind == BINEDIT_PAINT_XOR_BLOCK) {
                FUZZ_CHECK(cellColumn != s.column);
                FUZZ_CHECK(op.right == op.left + cw + 1 && op.bottom == op.top + ch + 1);
            } else {
                FUZZ_CHECK(cellColumn == s.column);
                if (op.kind == BINEDIT_PAINT_XOR_OUTLINE) {
                    FUZZ_CHECK(!view->focused);
                    FUZZ_CHECK(op.right == op.left + cw && op.bottom == op.top + ch);
                }
            }
            break;
        }
        case BINEDIT_PAINT_CARET_SHOW:
            FUZZ_CHECK(view->focused && caretShown == 0 && view->hideCount == 1);
            view->hideCount = 0;
            caretShown = 1;
            showHide++;
            break;
        case BINEDIT_PAINT_CARET_HIDE:
            FUZZ_CHECK(view->focused && caretShown == 1 && view->hideCount == 0);
            view->hideCount = 1;
            caretShown = 0;
            showHide++;
            break;
        default: FUZZ_CHECK(false);
        }
    }
    FUZZ_CHECK(showHide <= 1 && caretMoves <= 1 && marks <= 2);
    FUZZ_CHECK(plan.caretShown == caretShown);
    // Both cells of a caret byte in view are marked.
    if (fullPlan && hasCell && s.data != 0 && s.caret < s.size && s.caret >= first &&
        ((s.caret - first) >> 4) < (uint32_t)rowsInView)
        FUZZ_CHECK(marks == 2);
    view->state.caretShown = plan.caretShown;
    FreeBinEditPaintPlan(&plan);
}

const uint32_t kKeys[] = {0x09, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,
                          0x28, 0x48, 0x4A, 0x4B, 0x4C, 0x0D, 0x41};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    View view = {};
    view.bar.maximum = -1;
    view.clientWidth = 640;
    view.clientHeight = 120;
    view.state.cellWidth = 8;
    view.state.cellHeight = 12;
    int steps = 0;
    while (in.remaining_bytes() > 0 && steps++ < 64) {
        BinEditState &s = view.state;
        uint32_t caretBefore = s.caret;
        bool caretInside = s.caret < s.size;
        switch (in.ConsumeIntegralInRange<int>(0, 10)) {
        case 0: {  // WM_KEYDOWN
            uint32_t key = in.ConsumeBool() ? kKeys[in.ConsumeIntegralInRange<size_t>(0, 14)]
                                            : in.ConsumeIntegral<uint8_t>();
            int ctrl = IsBinEditCtrlFormKey(key) ? in.ConsumeBool() : 0;
            ApplyBinEditKey(&s, key, ctrl);
            if (key != 0x09 && caretInside)
                FUZZ_CHECK(s.caret < s.size);
            if (key == 0x09)
                FUZZ_CHECK(s.caret == caretBefore);
            EnsureCaretVisible(&view);
            CheckCaretInView(&view);
            break;
        }
        case 1: {  // WM_LBUTTONDOWN
            int32_t x = in.ConsumeIntegral<int16_t>();
            int32_t y = in.ConsumeIntegral<int16_t>();
            SetFocusTo(&view, true);
            BinEditHit hit;
            if (HitTestBinEdit(&s, x, y, view.bar.position, &hit)) {
                FUZZ_CHECK(hit.offset < s.size);
                FUZZ_CHECK(hit.column == 0 || hit.column == 1);
                s.caret = hit.offset;
                s.column = hit.column;
                EnsureCaretVisible(&view);
                CheckCaretInView(&view);
            } else {
                FUZZ_CHECK(s.caret == caretBefore);
            }
            break;
        }
        case 2: {  // WM_VSCROLL
            uint32_t code = in.ConsumeIntegralInRange<uint32_t>(0, 9);
            uint32_t thumb = in.ConsumeIntegral<uint16_t>();
            int32_t target =
                GetBinEditScrollTarget(&s, view.clientHeight, view.bar.position, code, thumb);
            FUZZ_CHECK(target >= 0 && (uint32_t)target <= (s.size >> 4));
            SetBinEditScrollPosition(&view.bar, target);
            FUZZ_CHECK(s.caret == caretBefore);
            break;
        }
        case 3: {  // WM_MOUSEWHEEL
            int32_t delta = in.ConsumeIntegral<int16_t>();
            uint32_t lines = in.ConsumeBool() ? in.ConsumeIntegral<uint32_t>()
                                              : in.ConsumeIntegralInRange<uint32_t>(0, 10);
            SetBinEditScrollPosition(
                &view.bar,
                GetBinEditWheelTarget(&s, view.clientHeight, view.bar.position, delta, lines));
            break;
        }
        case 4:  // BEM_SETCARET
            s.caret = in.ConsumeBool() ? in.ConsumeIntegral<uint32_t>()
                                       : s.size + in.ConsumeIntegralInRange<uint32_t>(0, 40) - 20;
            break;
        case 5: {  // BEM_SETDATA with bytes of the input
            std::vector<uint8_t> bytes =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 600));
            DropBytes(&view);
            ReplaceBinEditData(&s, (uint32_t)bytes.size(), bytes.data());
            FUZZ_CHECK(s.size == bytes.size() && (s.size == 0) == (s.data == 0));
            FUZZ_CHECK(s.caret == 0);
            OnSize(&view);
            break;
        }
        case 6: {  // BEM_SETDATA with a large view
            uint32_t count = in.ConsumeIntegral<uint32_t>();
            DropBytes(&view);
            s.caret = 0;
            if (count != 0) {
                s.data = LargeBytesEnd() - count;
                s.size = count;
                view.largeBytes = true;
            }
            OnSize(&view);
            break;
        }
        case 7:  // WM_SIZE
            view.clientWidth = in.ConsumeIntegral<uint16_t>();
            view.clientHeight = in.ConsumeIntegral<uint16_t>();
            OnSize(&view);
            break;
        case 8:  // WM_SETFONT
            s.cellWidth = in.ConsumeIntegral<int16_t>();
            s.cellHeight = in.ConsumeIntegral<int16_t>();
            break;
        case 9:  // focus moves
            SetFocusTo(&view, in.ConsumeBool());
            break;
        case 10:  // WM_PAINT; the window paints when the invalidations are seen
            CheckPlan(&view);
            break;
        }
        FUZZ_CHECK(s.column == 0 || s.column == 1);
        FUZZ_CHECK(view.bar.position >= 0);
        FUZZ_CHECK(view.bar.position <= (view.bar.maximum < 0 ? 0 : view.bar.maximum));
        FUZZ_CHECK((s.size == 0) == (s.data == 0));
    }
    CheckPlan(&view);
    DropBytes(&view);
    return 0;
}
