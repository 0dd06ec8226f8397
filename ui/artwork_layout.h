#pragma once
// Where everything sits in the program's artwork (resources/*.png, made by
// tools/make_artwork).  The widgets draw from these rectangles and the
// artwork generator paints into them, so both read this one header.
//
// Conventions: x counts pixels from the left edge of an image, y (and
// "row") counts pixels from the BOTTOM edge, because textures are uploaded
// with v = 0 at the image's bottom row.  A rectangle {x, y, w, h} covers
// columns x .. x+w-1 and rows-from-bottom y .. y+h-1; its texture
// coordinates are x / texture width .. (x+w) / texture width, and the same
// for v.  In a PNG file (stored top row first) row-from-bottom r is file row
// height-1-r.

// ---------------------------------------------------------------------------
// Images and the texture slots they are loaded into.

constexpr int kSlotInterface = 359;   // resources/interface.png
constexpr int kSlotFontRegular = 360;
constexpr int kSlotFontBold = 361;
constexpr int kSlotLabelAtlas = 362;  // resources/elements_<Language>.png
constexpr int kSlotWorldMap = 363;    // resources/map.png
constexpr int kSlotBackground = 364;  // resources/background.png

constexpr int kInterfaceSize = 512;  // interface.png is 512 x 512
constexpr int kAtlasWidth = 1024;    // each elements_*.png is 1024 x 128
constexpr int kAtlasHeight = 128;
constexpr int kBackgroundWidth = 800;
constexpr int kBackgroundHeight = 600;
constexpr int kMapWidth = 504;        // map.png is 504 x 756:
constexpr int kMapPanelHeight = 252;  // three world maps stacked
constexpr int kMapHeight = 3 * kMapPanelHeight;

// ---------------------------------------------------------------------------
// Colour table.  Every draw call names a colour by index; the table starts
// out with these values and, once the interface image is decoded, colours 39
// to 52 (except 44) are read back from its swatch pixels (kColourSwatches),
// which hold exactly the values below.  Colour 44 is the average of 40 and 43.

constexpr int kColourCount = 128;

struct ArtColour {
  int index;
  unsigned char r, g, b;  // 0..255; divide by 255 for the float table
};

constexpr int kColourText = 12;          // page title, body text, progress caption
constexpr int kColourModalFill = 39;     // fill behind modal screens
constexpr int kColourWidgetLabel = 48;   // widget labels and modal texts
constexpr int kColourStep = 50;          // step titles, text-field text, side captions
constexpr int kColourInterfaceTint = 57; // white: artwork in its own colours
constexpr int kColourCurrentStep = 73;
constexpr int kColourHighlight = 91;     // highlighted widget labels (pulses 89..94)
constexpr int kColourBackgroundTint = 113;
constexpr int kColourSwatchWhite = 43;   // the interface image's white swatch

constexpr ArtColour kColourTable[] = {
    {12, 0, 0, 0},       {39, 68, 85, 105},   {40, 97, 97, 92},
    {41, 23, 40, 60},    {42, 142, 143, 139}, {43, 255, 255, 255},
    {45, 241, 241, 241}, {46, 23, 40, 60},    {47, 112, 118, 128},
    {48, 49, 57, 71},    {49, 226, 226, 226}, {50, 55, 60, 69},
    {51, 51, 59, 71},    {52, 144, 226, 187}, {57, 255, 255, 255},
    {73, 51, 51, 204},   {113, 255, 255, 255},
};
// Colour 44 is not a whole 0..255 value: (97 + 255) / 2, (97 + 255) / 2,
// (92 + 255) / 2 = 176, 176, 173.5.

// Swatch pixels of interface.png: column x, row-from-bottom y, and the colour
// index they set.  The generator paints a small solid square around each.
struct ColourSwatch {
  int index;
  int x, y;
};

constexpr ColourSwatch kColourSwatches[] = {
    {39, 319, 155}, {40, 319, 147}, {41, 319, 139}, {42, 319, 131},
    {43, 319, 123}, {45, 319, 115}, {46, 319, 107}, {47, 319, 99},
    {48, 319, 91},  {49, 395, 115}, {50, 319, 83},  {51, 319, 75},
    {52, 319, 67},
};
constexpr int kSwatchHalfSize = 3;  // each swatch square is 7 x 7 pixels

// ---------------------------------------------------------------------------
// Stretchable sprites (three-slice: left cap, middle tiled with the last tile
// cut, right cap; height is the sprite's own).

struct SpriteRect {
  int sprite;
  int slot;   // kSlotInterface or kSlotLabelAtlas
  int x, y;   // lower-left corner, y from the bottom
  int width, height;
  int cap;    // width of each end cap
};

constexpr SpriteRect kSpriteRects[] = {
    {2, kSlotInterface, 304, 486, 52, 26, 10},   // Choice Button body
    {3, kSlotInterface, 304, 459, 52, 26, 10},   // Choice Button pressed / on
    {4, kSlotInterface, 112, 161, 28, 16, 10},   // progress bar trough
    {5, kSlotInterface, 83, 161, 28, 16, 10},    // progress bar fill
    {9, kSlotInterface, 262, 133, 51, 26, 10},   // Text Field background
    {11, kSlotLabelAtlas, 926, 96, 48, 31, 16},  // Bottom Button, normal
    {12, kSlotLabelAtlas, 975, 96, 48, 31, 16},  // Bottom Button, pressed
    {13, kSlotLabelAtlas, 877, 96, 48, 31, 16},  // Bottom Button, disabled
};
constexpr int kSpriteCount = sizeof(kSpriteRects) / sizeof(kSpriteRects[0]);

// The entry for a sprite number, or null for a number not in the table.
constexpr const SpriteRect* find_sprite_rect(int sprite) {
  for (const SpriteRect& s : kSpriteRects)
    if (s.sprite == sprite) return &s;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Framed areas, drawn as nine pieces: the four corners (border x border)
// fixed, the edges tiled along their length, the inside tiled in whole tiles
// with the last one cut.

struct FrameSquare {
  int style;
  int slot;
  int x, y;     // lower-left corner of the source square, y from the bottom
  int size;     // the square is size x size pixels
  int border;   // corner and edge piece thickness
};

// Style 23: the two wizard panels.  1-pixel outline, translucent light inside
// (the background shows through a little).
// Style 14: the full-window frame behind alerts and modal prompts: 9-pixel
// corner and edge pieces (rounded outline with a soft inner shadow), light
// inside.
constexpr FrameSquare kFrameSquares[] = {
    {23, kSlotLabelAtlas, 982, 2, 41, 1},
    {14, kSlotInterface, 1, 358, 100, 9},
};
constexpr int kFrame23CaptionIndent = 10;

// Caption bar of style 14, drawn along the top edge inside the frame when the
// frame is asked for one: a three-slice 14 pixels high with 4-pixel caps.
constexpr SpriteRect kFrame14CaptionBar = {0, kSlotInterface, 1, 340, 100, 14, 4};

constexpr const FrameSquare* find_frame_square(int style) {
  for (const FrameSquare& f : kFrameSquares)
    if (f.style == style) return &f;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Check box and tick images of interface.png: 18 x 18, given by their centre
// pixel; the rectangle is centre - 9 .. centre + 9.  The alternative look is
// the round radio item.

struct IconRect {
  int centre_x, centre_y;  // y from the bottom
  int size;
};

constexpr IconRect kCheckBoxImage = {148, 187, 18};
constexpr IconRect kCheckTickImage = {148, 206, 18};
constexpr IconRect kRadioBoxImage = {92, 132, 18};
constexpr IconRect kRadioTickImage = {92, 151, 18};

// ---------------------------------------------------------------------------
// Bottom Button label atlas (elements_<Language>.png): seven labels side by
// side, each in three rows.  Label i of language l spans x from
// kLabelBoundaries[l][i] to kLabelBoundaries[l][i + 1]; everything right of
// boundary 7 in the label rows is transparent.

constexpr int kLanguageCount = 6;  // 0 English 1 French 2 German 3 Russian 4 Italian 5 Spanish
constexpr int kLabelCount = 7;     // 0 QUIT 1 GO BACK 2 CONTINUE 3 SELECT ALL 4 SELECT NONE
                                   // 5 BUY ONLINE 6 OPTIONS

constexpr const char* kLanguageNames[kLanguageCount] = {
    "English", "French", "German", "Russian", "Italian", "Spanish"};

constexpr int kLabelBoundaries[kLanguageCount][kLabelCount + 1] = {
    {0, 56, 145, 246, 357, 489, 605, 691},   // English
    {0, 91, 172, 284, 477, 695, 874, 958},   // French
    {0, 96, 181, 256, 422, 611, 762, 859},   // German
    {0, 75, 144, 211, 346, 422, 501, 616},   // Russian
    {0, 54, 212, 312, 480, 673, 840, 921},   // Italian
    {0, 60, 156, 269, 421, 606, 789, 892},   // Spanish
};

// Rows of the label cells, from the bottom; v0 .. v1 is the quad's texture
// range (22 rows: v0 .. v1-1).  The row between two bands stays transparent.
struct LabelRow {
  int v0, v1;
};
constexpr LabelRow kLabelRowNormal = {46, 68};
constexpr LabelRow kLabelRowHover = {0, 22};
constexpr LabelRow kLabelRowPressed = {23, 45};

// The words painted in each cell (UTF-8), for tests and diagnostics.
constexpr const char* kLabelTexts[kLanguageCount][kLabelCount] = {
    {"QUIT", "GO BACK", "CONTINUE", "SELECT ALL", "SELECT NONE", "BUY ONLINE", "OPTIONS"},
    {"QUITTER", "RETOUR", "CONTINUER", "TOUT SÉLECTIONNER", "TOUT DÉSÉLECTIONNER",
     "ACHETER EN LIGNE", "OPTIONS"},
    {"BEENDEN", "ZURÜCK", "WEITER", "ALLE AUSWÄHLEN", "KEINE AUSWÄHLEN", "ONLINE KAUFEN",
     "OPTIONEN"},
    {"ВЫХОД", "НАЗАД", "ДАЛЕЕ", "ВЫБРАТЬ ВСЁ", "СБРОС", "КУПИТЬ", "НАСТРОЙКИ"},
    {"ESCI", "TORNA INDIETRO", "CONTINUA", "SELEZIONA TUTTO", "DESELEZIONA TUTTO",
     "ACQUISTA ONLINE", "OPZIONI"},
    {"SALIR", "VOLVER", "CONTINUAR", "SELECCIONAR TODO", "DESELECCIONAR TODO",
     "COMPRAR EN LÍNEA", "OPCIONES"},
};

// ---------------------------------------------------------------------------
// World map (map.png, loaded as a 512 x 1024 texture with the image in its
// lower-left corner).  Three 504 x 252 panels of the same equirectangular
// world, 1.4 pixels per degree, column 0 at 180 W, row 0 at 90 S; texture
// rows from the bottom:

constexpr int kMapPanelPlain = 0;        // land white on grey, no grid
constexpr int kMapPanelAvailable = 252;  // grey tiles with grid lines
constexpr int kMapPanelSelected = 504;   // satellite picture with grid lines
constexpr int kMapTileSize = 14;         // one 10 x 10 degree tile
constexpr int kMapColumns = 36;
constexpr int kMapRows = 18;
