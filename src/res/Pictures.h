#pragma once
// The program's pictures. Every bitmap resource number that a window asks for is listed in one
// table (size, caption, role, face) and drawn by one painter on first use; nothing is read from
// image files. Pictures that their users show with a transparent colour are drawn with that
// colour (the "key") wherever the background should show through, and never use it elsewhere:
//
//   panel buttons and Start faces  key black   (0x000000)
//   browse buttons 1010/1011       key white   (0xFFFFFF)
//   toolbar picture 164            key magenta (0xFF00FF)
//
// Titles, link pictures and the panel's static pictures are opaque.
#include <QImage>
#include <QList>
#include <QRgb>

enum class EPictureKind
{
    PanelButton,  // 188 x 44, function list panel (four faces)
    PanelStatic,  // 134 x 59, the panel's two static pictures
    PageTitle,    // 569 x 29, title across the top of a page
    LinkPicture,  // 229 x 34, connection strip: idle, five animation frames, operation
    StartButton,  // Start / Read / Write faces of the operation pages
    BrowseButton, // 25 x 20, the small browse buttons
    Toolbar       // 611 x 37, thirteen 47-pixel toolbar images side by side
};

// Face of a button picture, in the skinned button's slot order. Running: the disabled face of a
// Start set, also shown while its operation runs.
enum class EPictureFace
{
    None,
    MouseOver,
    Normal,
    Checked,
    Disabled
};

struct SPictureInfo
{
    int nId;
    int nWidth;
    int nHeight;
    EPictureKind kind;
    EPictureFace face;
    const char* caption; // text drawn into the picture (toolbar: empty, captions per image)
    int nFrame;          // link pictures: 0 idle, 1..5 animation frames, 6 operation
    QRgb key;            // colour that marks transparent pixels (0xFF000000 | rgb); 0 for opaque
};

// Resource numbers whose meaning the program fixes itself.
namespace Res {
constexpr int IDB_TOOLBAR = 164;
constexpr int IDB_LINK_IDLE = 147;
constexpr int IDB_LINK_OPERATION = 188;
constexpr int IDB_BROWSE_OVER = 1010;
constexpr int IDB_BROWSE_NORMAL = 1011;
constexpr int IDB_PANEL_STATIC_LOW = 1014;
constexpr int IDB_PANEL_STATIC_HIGH = 1015;
constexpr int IDB_TITLE_INFORMATION = 1069;
constexpr int IDB_TITLE_SELECT_PORT = 1078;
constexpr int IDB_TITLE_SELECT_MODEL = 1079;
// The title pictures of the settings, phonebook and memory transfer pages, on three numbers no
// other picture uses.
constexpr int IDB_TITLE_SETTINGS = 1070;
constexpr int IDB_TITLE_PHONEBOOK = 1071;
constexpr int IDB_TITLE_TRANSFER = 1072;
} // namespace Res

namespace Pictures {

// nullptr for an unknown number.
const SPictureInfo* Find(int resourceId);

// Captions of the thirteen toolbar images, left to right.
const QList<const char*>& ToolbarCaptions();

// Draws the picture afresh (no cache). Null image for an unknown number.
QImage Render(int resourceId);

} // namespace Pictures

// The picture of a bitmap resource: drawn once, then served from a cache (any thread).
// Returns a null image for an unknown number. Format RGB32 (opaque; the key marks transparency).
QImage LoadBitmap(int resourceId);
