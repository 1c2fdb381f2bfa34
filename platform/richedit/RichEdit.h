#pragma once
// The rich edit control's contract: message numbers, notification codes, flags and the
// structures that travel with the messages, named as the platform names them. Structure
// field order and meaning follow the platform; the layout is the natural one of this
// compiler (nothing here is exchanged in binary form with another program).
//
// Loading the library "RICHED20.DLL" (LoadLibrary) registers the window class
// "RICHEDIT20W", whose window procedure is the control.

#include "platform/WinTypes.h"
#include "platform/ole/Ole.h"
#include "platform/window/Gdi.h"
#include "platform/window/Window.h"

#include <cstdint>

// --- messages shared with the plain edit control ------------------------------------------
inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_SCROLL = 0x00B5;
inline constexpr UINT EM_LINESCROLL = 0x00B6;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_GETMODIFY = 0x00B8;
inline constexpr UINT EM_SETMODIFY = 0x00B9;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_LINEINDEX = 0x00BB;
inline constexpr UINT EM_LINELENGTH = 0x00C1;
inline constexpr UINT EM_REPLACESEL = 0x00C2;
inline constexpr UINT EM_GETLINE = 0x00C4;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_LINEFROMCHAR = 0x00C9;
inline constexpr UINT EM_EMPTYUNDOBUFFER = 0x00CD;
inline constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
inline constexpr UINT EM_SETREADONLY = 0x00CF;
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;

// --- rich edit messages ------------------------------------------------------------------
inline constexpr UINT EM_CANPASTE = WM_USER + 50;
inline constexpr UINT EM_EXGETSEL = WM_USER + 52;
inline constexpr UINT EM_EXLIMITTEXT = WM_USER + 53;
inline constexpr UINT EM_EXLINEFROMCHAR = WM_USER + 54;
inline constexpr UINT EM_EXSETSEL = WM_USER + 55;
inline constexpr UINT EM_FINDTEXT = WM_USER + 56;
inline constexpr UINT EM_FORMATRANGE = WM_USER + 57;
inline constexpr UINT EM_GETCHARFORMAT = WM_USER + 58;
inline constexpr UINT EM_GETEVENTMASK = WM_USER + 59;
inline constexpr UINT EM_GETOLEINTERFACE = WM_USER + 60;
inline constexpr UINT EM_GETPARAFORMAT = WM_USER + 61;
inline constexpr UINT EM_GETSELTEXT = WM_USER + 62;
inline constexpr UINT EM_HIDESELECTION = WM_USER + 63;
inline constexpr UINT EM_REQUESTRESIZE = WM_USER + 65;
inline constexpr UINT EM_SELECTIONTYPE = WM_USER + 66;
inline constexpr UINT EM_SETBKGNDCOLOR = WM_USER + 67;
inline constexpr UINT EM_SETCHARFORMAT = WM_USER + 68;
inline constexpr UINT EM_SETEVENTMASK = WM_USER + 69;
inline constexpr UINT EM_SETOLECALLBACK = WM_USER + 70;
inline constexpr UINT EM_SETPARAFORMAT = WM_USER + 71;
inline constexpr UINT EM_SETTARGETDEVICE = WM_USER + 72;
inline constexpr UINT EM_STREAMIN = WM_USER + 73;
inline constexpr UINT EM_STREAMOUT = WM_USER + 74;
inline constexpr UINT EM_GETTEXTRANGE = WM_USER + 75;
inline constexpr UINT EM_SETOPTIONS = WM_USER + 77;
inline constexpr UINT EM_GETOPTIONS = WM_USER + 78;
inline constexpr UINT EM_SETUNDOLIMIT = WM_USER + 82;
inline constexpr UINT EM_REDO = WM_USER + 84;
inline constexpr UINT EM_CANREDO = WM_USER + 85;
inline constexpr UINT EM_AUTOURLDETECT = WM_USER + 91;
inline constexpr UINT EM_GETAUTOURLDETECT = WM_USER + 92;
inline constexpr UINT EM_GETTEXTEX = WM_USER + 94;
inline constexpr UINT EM_GETTEXTLENGTHEX = WM_USER + 95;
inline constexpr UINT EM_SETLANGOPTIONS = WM_USER + 120;
inline constexpr UINT EM_GETLANGOPTIONS = WM_USER + 121;

// --- notifications -----------------------------------------------------------------------
inline constexpr UINT EN_SETFOCUS = 0x0100;
inline constexpr UINT EN_KILLFOCUS = 0x0200;
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr UINT EN_UPDATE = 0x0400;
inline constexpr UINT EN_MAXTEXT = 0x0501;
inline constexpr UINT EN_MSGFILTER = 0x0700;
inline constexpr UINT EN_REQUESTRESIZE = 0x0701;
inline constexpr UINT EN_SELCHANGE = 0x0702;
inline constexpr UINT EN_PROTECTED = 0x0704;
inline constexpr UINT EN_SAVECLIPBOARD = 0x0708;
inline constexpr UINT EN_LINK = 0x070B;

inline constexpr DWORD ENM_NONE = 0;
inline constexpr DWORD ENM_CHANGE = 0x00000001;
inline constexpr DWORD ENM_UPDATE = 0x00000002;
inline constexpr DWORD ENM_SCROLL = 0x00000004;
inline constexpr DWORD ENM_KEYEVENTS = 0x00010000;
inline constexpr DWORD ENM_MOUSEEVENTS = 0x00020000;
inline constexpr DWORD ENM_REQUESTRESIZE = 0x00040000;
inline constexpr DWORD ENM_SELCHANGE = 0x00080000;
inline constexpr DWORD ENM_PROTECTED = 0x00200000;
inline constexpr DWORD ENM_LINK = 0x04000000;

// --- selection, text and limits ------------------------------------------------------------
// The selection kinds (SEL_EMPTY ...) are in Ole.h, which the object callback shares.

inline constexpr DWORD GT_DEFAULT = 0;
inline constexpr DWORD GT_USECRLF = 1;
inline constexpr DWORD GT_SELECTION = 2;
inline constexpr DWORD GTL_DEFAULT = 0;
inline constexpr DWORD GTL_USECRLF = 1;
inline constexpr DWORD GTL_PRECISE = 2;
inline constexpr DWORD GTL_CLOSE = 4;
inline constexpr DWORD GTL_NUMCHARS = 8;
inline constexpr DWORD GTL_NUMBYTES = 16;
inline constexpr UINT CP_UNICODE = 1200; // the code page value that asks for UTF-16

// E_INVALIDARG, which some messages answer, is Ole.h's.

inline constexpr WPARAM SB_LINEUP = 0;
inline constexpr WPARAM SB_LINEDOWN = 1;
inline constexpr WPARAM SB_PAGEUP = 2;
inline constexpr WPARAM SB_PAGEDOWN = 3;
inline constexpr WPARAM SB_THUMBPOSITION = 4;
inline constexpr WPARAM SB_THUMBTRACK = 5;
inline constexpr WPARAM SB_TOP = 6;
inline constexpr WPARAM SB_BOTTOM = 7;
inline constexpr WPARAM SB_ENDSCROLL = 8;

// --- options -----------------------------------------------------------------------------
inline constexpr WPARAM ECOOP_SET = 1;
inline constexpr WPARAM ECOOP_OR = 2;
inline constexpr WPARAM ECOOP_AND = 3;
inline constexpr WPARAM ECOOP_XOR = 4;
inline constexpr DWORD ECO_AUTOWORDSELECTION = 0x00000001;
inline constexpr DWORD ECO_AUTOVSCROLL = 0x00000040;
inline constexpr DWORD ECO_AUTOHSCROLL = 0x00000080;
inline constexpr DWORD ECO_NOHIDESEL = 0x00000100;
inline constexpr DWORD ECO_READONLY = 0x00000800;
inline constexpr DWORD ECO_WANTRETURN = 0x00001000;
inline constexpr DWORD ECO_SAVESEL = 0x00008000;
inline constexpr DWORD ECO_SELECTIONBAR = 0x01000000;
inline constexpr DWORD ECO_VERTICAL = 0x00400000;

inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_NOHIDESEL = 0x0100;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_DISABLENOSCROLL = 0x2000;
inline constexpr DWORD ES_SELECTIONBAR = 0x01000000;

inline constexpr DWORD IMF_AUTOKEYBOARD = 0x0001;
inline constexpr DWORD IMF_AUTOFONT = 0x0002;
inline constexpr DWORD IMF_IMECANCELCOMPLETE = 0x0004;
inline constexpr DWORD IMF_IMEALWAYSSENDNOTIFY = 0x0008;

// --- character formats -------------------------------------------------------------------
inline constexpr WPARAM SCF_DEFAULT = 0x0000;
inline constexpr WPARAM SCF_SELECTION = 0x0001;
inline constexpr WPARAM SCF_WORD = 0x0002;
inline constexpr WPARAM SCF_ALL = 0x0004;
inline constexpr WPARAM SCF_USEUIRULES = 0x0008;

inline constexpr DWORD CFM_BOLD = 0x00000001;
inline constexpr DWORD CFM_ITALIC = 0x00000002;
inline constexpr DWORD CFM_UNDERLINE = 0x00000004;
inline constexpr DWORD CFM_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFM_PROTECTED = 0x00000010;
inline constexpr DWORD CFM_LINK = 0x00000020;
inline constexpr DWORD CFM_SMALLCAPS = 0x00000040;
inline constexpr DWORD CFM_ALLCAPS = 0x00000080;
inline constexpr DWORD CFM_HIDDEN = 0x00000100;
inline constexpr DWORD CFM_OUTLINE = 0x00000200;
inline constexpr DWORD CFM_SHADOW = 0x00000400;
inline constexpr DWORD CFM_EMBOSS = 0x00000800;
inline constexpr DWORD CFM_IMPRINT = 0x00001000;
inline constexpr DWORD CFM_DISABLED = 0x00002000;
inline constexpr DWORD CFM_REVISED = 0x00004000;
inline constexpr DWORD CFM_REVAUTHOR = 0x00008000;
inline constexpr DWORD CFM_SUBSCRIPT = 0x00030000;
inline constexpr DWORD CFM_SUPERSCRIPT = 0x00030000;
inline constexpr DWORD CFM_ANIMATION = 0x00040000;
inline constexpr DWORD CFM_STYLE = 0x00080000;
inline constexpr DWORD CFM_KERNING = 0x00100000;
inline constexpr DWORD CFM_SPACING = 0x00200000;
inline constexpr DWORD CFM_WEIGHT = 0x00400000;
inline constexpr DWORD CFM_UNDERLINETYPE = 0x00800000;
inline constexpr DWORD CFM_LCID = 0x02000000;
inline constexpr DWORD CFM_BACKCOLOR = 0x04000000;
inline constexpr DWORD CFM_CHARSET = 0x08000000;
inline constexpr DWORD CFM_OFFSET = 0x10000000;
inline constexpr DWORD CFM_FACE = 0x20000000;
inline constexpr DWORD CFM_COLOR = 0x40000000;
inline constexpr DWORD CFM_SIZE = 0x80000000;
inline constexpr DWORD CFM_EFFECTS =
    CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_COLOR | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK;
inline constexpr DWORD CFM_ALL = CFM_EFFECTS | CFM_SIZE | CFM_FACE | CFM_OFFSET | CFM_CHARSET;
inline constexpr DWORD CFM_EFFECTS2 = CFM_EFFECTS | CFM_DISABLED | CFM_SMALLCAPS | CFM_ALLCAPS |
                                      CFM_HIDDEN | CFM_OUTLINE | CFM_SHADOW | CFM_EMBOSS |
                                      CFM_IMPRINT | CFM_REVISED | CFM_SUBSCRIPT | CFM_BACKCOLOR;
inline constexpr DWORD CFM_ALL2 = CFM_ALL | CFM_EFFECTS2 | CFM_BACKCOLOR | CFM_LCID |
                                  CFM_UNDERLINETYPE | CFM_WEIGHT | CFM_REVAUTHOR | CFM_SPACING |
                                  CFM_KERNING | CFM_STYLE | CFM_ANIMATION;

inline constexpr DWORD CFE_BOLD = 0x00000001;
inline constexpr DWORD CFE_ITALIC = 0x00000002;
inline constexpr DWORD CFE_UNDERLINE = 0x00000004;
inline constexpr DWORD CFE_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFE_PROTECTED = 0x00000010;
inline constexpr DWORD CFE_LINK = 0x00000020;
inline constexpr DWORD CFE_SMALLCAPS = 0x00000040;
inline constexpr DWORD CFE_ALLCAPS = 0x00000080;
inline constexpr DWORD CFE_HIDDEN = 0x00000100;
inline constexpr DWORD CFE_OUTLINE = 0x00000200;
inline constexpr DWORD CFE_SHADOW = 0x00000400;
inline constexpr DWORD CFE_EMBOSS = 0x00000800;
inline constexpr DWORD CFE_IMPRINT = 0x00001000;
inline constexpr DWORD CFE_DISABLED = 0x00002000;
inline constexpr DWORD CFE_REVISED = 0x00004000;
inline constexpr DWORD CFE_SUBSCRIPT = 0x00010000;
inline constexpr DWORD CFE_SUPERSCRIPT = 0x00020000;
inline constexpr DWORD CFE_AUTOBACKCOLOR = 0x04000000;
inline constexpr DWORD CFE_AUTOCOLOR = 0x40000000;

inline constexpr BYTE CFU_UNDERLINENONE = 0;
inline constexpr BYTE CFU_UNDERLINE = 1;
inline constexpr BYTE CFU_UNDERLINEWORD = 2;
inline constexpr BYTE CFU_UNDERLINEDOUBLE = 3;
inline constexpr BYTE CFU_UNDERLINEDOTTED = 4;
inline constexpr BYTE CFU_UNDERLINEDASH = 5;
inline constexpr BYTE CFU_UNDERLINEDASHDOT = 6;
inline constexpr BYTE CFU_UNDERLINEDASHDOTDOT = 7;
inline constexpr BYTE CFU_UNDERLINEWAVE = 8;
inline constexpr BYTE CFU_UNDERLINETHICK = 9;
inline constexpr BYTE CFU_UNDERLINEHAIRLINE = 10;
inline constexpr BYTE CFU_CF1UNDERLINE = 0xFF;

// Pitch (low nibble) and family (high nibble) of bPitchAndFamily.
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;
inline constexpr BYTE FF_SCRIPT = 0x40;
inline constexpr BYTE FF_DECORATIVE = 0x50;

inline constexpr int LF_FACESIZE = 32;

struct CHARFORMATW {
    UINT cbSize;
    DWORD dwMask;
    DWORD dwEffects;
    LONG yHeight;
    LONG yOffset;
    COLORREF crTextColor;
    BYTE bCharSet;
    BYTE bPitchAndFamily;
    WCHAR szFaceName[LF_FACESIZE];
};

struct CHARFORMAT2W {
    UINT cbSize;
    DWORD dwMask;
    DWORD dwEffects;
    LONG yHeight;
    LONG yOffset;
    COLORREF crTextColor;
    BYTE bCharSet;
    BYTE bPitchAndFamily;
    WCHAR szFaceName[LF_FACESIZE];
    WORD wWeight;
    std::int16_t sSpacing;
    COLORREF crBackColor;
    LCID lcid;
    DWORD dwReserved;
    std::int16_t sStyle;
    WORD wKerning;
    BYTE bUnderlineType;
    BYTE bAnimation;
    BYTE bRevAuthor;
    BYTE bReserved1;
};

// --- paragraph formats -------------------------------------------------------------------
inline constexpr DWORD PFM_STARTINDENT = 0x00000001;
inline constexpr DWORD PFM_RIGHTINDENT = 0x00000002;
inline constexpr DWORD PFM_OFFSET = 0x00000004;
inline constexpr DWORD PFM_ALIGNMENT = 0x00000008;
inline constexpr DWORD PFM_TABSTOPS = 0x00000010;
inline constexpr DWORD PFM_NUMBERING = 0x00000020;
inline constexpr DWORD PFM_SPACEBEFORE = 0x00000040;
inline constexpr DWORD PFM_SPACEAFTER = 0x00000080;
inline constexpr DWORD PFM_LINESPACING = 0x00000100;
inline constexpr DWORD PFM_STYLE = 0x00000400;
inline constexpr DWORD PFM_BORDER = 0x00000800;
inline constexpr DWORD PFM_SHADING = 0x00001000;
inline constexpr DWORD PFM_NUMBERINGSTYLE = 0x00002000;
inline constexpr DWORD PFM_NUMBERINGTAB = 0x00004000;
inline constexpr DWORD PFM_NUMBERINGSTART = 0x00008000;
inline constexpr DWORD PFM_RTLPARA = 0x00010000;
inline constexpr DWORD PFM_KEEP = 0x00020000;
inline constexpr DWORD PFM_KEEPNEXT = 0x00040000;
inline constexpr DWORD PFM_PAGEBREAKBEFORE = 0x00080000;
inline constexpr DWORD PFM_NOLINENUMBER = 0x00100000;
inline constexpr DWORD PFM_NOWIDOWCONTROL = 0x00200000;
inline constexpr DWORD PFM_DONOTHYPHEN = 0x00400000;
inline constexpr DWORD PFM_SIDEBYSIDE = 0x00800000;
inline constexpr DWORD PFM_TABLE = 0x40000000;
inline constexpr DWORD PFM_OFFSETINDENT = 0x80000000;
// The paragraph effects that live in wEffects, one mask bit each (shifted by 16).
inline constexpr DWORD PFM_EFFECTS = 0x00FF0000 | PFM_TABLE;
inline constexpr DWORD PFM_ALL = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT |
                                 PFM_TABSTOPS | PFM_NUMBERING | PFM_OFFSETINDENT | PFM_RTLPARA;
inline constexpr DWORD PFM_ALL2 = PFM_ALL | PFM_EFFECTS | PFM_SPACEBEFORE | PFM_SPACEAFTER |
                                  PFM_LINESPACING | PFM_STYLE | PFM_SHADING | PFM_BORDER |
                                  PFM_NUMBERINGTAB | PFM_NUMBERINGSTART | PFM_NUMBERINGSTYLE;

inline constexpr WORD PFA_LEFT = 1;
inline constexpr WORD PFA_RIGHT = 2;
inline constexpr WORD PFA_CENTER = 3;
inline constexpr WORD PFA_JUSTIFY = 4;
inline constexpr WORD PFN_BULLET = 1;
inline constexpr int MAX_TAB_STOPS = 32;

struct PARAFORMAT {
    UINT cbSize;
    DWORD dwMask;
    WORD wNumbering;
    WORD wReserved;
    LONG dxStartIndent;
    LONG dxRightIndent;
    LONG dxOffset;
    WORD wAlignment;
    std::int16_t cTabCount;
    LONG rgxTabs[MAX_TAB_STOPS];
};

struct PARAFORMAT2 {
    UINT cbSize;
    DWORD dwMask;
    WORD wNumbering;
    WORD wEffects;
    LONG dxStartIndent;
    LONG dxRightIndent;
    LONG dxOffset;
    WORD wAlignment;
    std::int16_t cTabCount;
    LONG rgxTabs[MAX_TAB_STOPS];
    LONG dySpaceBefore;
    LONG dySpaceAfter;
    LONG dyLineSpacing;
    std::int16_t sStyle;
    BYTE bLineSpacingRule;
    BYTE bOutlineLevel;
    WORD wShadingWeight;
    WORD wShadingStyle;
    WORD wNumberingStart;
    WORD wNumberingStyle;
    WORD wNumberingTab;
    WORD wBorderSpace;
    WORD wBorderWidth;
    WORD wBorders;
};

// --- ranges and text ---------------------------------------------------------------------
// CHARRANGE comes with the object interfaces (Ole.h), whose callback takes it too.

// Printing: render chrg into rc (twips) on hdc, measuring with hdcTarget.
struct FORMATRANGE {
    HDC hdc;
    HDC hdcTarget;
    RECT rc;
    RECT rcPage;
    CHARRANGE chrg;
};

struct TEXTRANGEW {
    CHARRANGE chrg;
    WCHAR* lpstrText;
};
struct TEXTRANGEA {
    CHARRANGE chrg;
    char* lpstrText;
};

struct GETTEXTEX {
    DWORD cb;
    DWORD flags;
    UINT codepage;
    const char* lpDefaultChar;
    BOOL* lpUsedDefChar;
};

struct GETTEXTLENGTHEX {
    DWORD flags;
    UINT codepage;
};

// --- streaming ---------------------------------------------------------------------------
inline constexpr WPARAM SF_TEXT = 0x0001;
inline constexpr WPARAM SF_RTF = 0x0002;
inline constexpr WPARAM SF_RTFNOOBJS = 0x0003;
inline constexpr WPARAM SF_TEXTIZED = 0x0004;
inline constexpr WPARAM SF_UNICODE = 0x0010;
inline constexpr WPARAM SF_USECODEPAGE = 0x0020;
inline constexpr WPARAM SFF_PLAINRTF = 0x4000;
inline constexpr WPARAM SFF_SELECTION = 0x8000;

using DWORD_PTR = std::uintptr_t;
using EDITSTREAMCALLBACK = DWORD (*)(DWORD_PTR dwCookie, BYTE* pbBuff, LONG cb, LONG* pcb);

struct EDITSTREAM {
    DWORD_PTR dwCookie;
    DWORD dwError;
    EDITSTREAMCALLBACK pfnCallback;
};

// dwError values the control sets itself (a callback's own non-zero result is stored as is).
inline constexpr DWORD RICHEDIT_ERROR_INVALIDRTF = 0xFFFFFFF0;   // not RTF at all
inline constexpr DWORD RICHEDIT_ERROR_TRUNCATEDRTF = 0x80070026; // ended inside a group
inline constexpr DWORD RICHEDIT_ERROR_BADRTF = 0xFFFFFFF2;       // malformed escape or too deep
inline constexpr DWORD RICHEDIT_ERROR_OUTOFMEMORY = 0x8007000E;
// Text in a code page this machine cannot convert: an error rather than text that vanishes.
inline constexpr DWORD RICHEDIT_ERROR_NOTRANSLATION = 0x80070459;

// --- notification structures ----------------------------------------------------------------
struct SELCHANGE {
    NMHDR nmhdr;
    CHARRANGE chrg;
    WORD seltyp;
};

struct ENPROTECTED {
    NMHDR nmhdr;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    CHARRANGE chrg;
};

struct ENLINK {
    NMHDR nmhdr;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    CHARRANGE chrg;
};

struct REQRESIZE {
    NMHDR nmhdr;
    RECT rc;
};

struct ENSAVECLIPBOARD {
    NMHDR nmhdr;
    LONG cObjectCount;
    LONG cch;
};

// --- the library ---------------------------------------------------------------------------
inline constexpr const char* RICHEDIT_CLASSW = "RICHEDIT20W";
inline constexpr const char* RICHEDIT_LIBRARY = "RICHED20.DLL";

// Makes "RICHED20.DLL" known to LoadLibrary; loading it registers "RICHEDIT20W". Safe to
// call more than once.
void RegisterRichEditLibrary();

// The window procedure of "RICHEDIT20W".
LRESULT RichEditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
