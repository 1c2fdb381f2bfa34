// Embedded objects in RTF, on the clipboard, in drops, context menus and paint.

#include "ObjectTestSupport.h"
#include "platform/ole/ObjectClasses.h"
#include "platform/richedit/RichEditControl.h"
#include "tests/support/Files.h"
#include "tests/support/LibreOffice.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ObjectGroup(const std::string& className, const std::string& hex,
                        const std::string& result = "[Thing]") {
    return "{\\rtf1\\ansi a{\\object\\objemb{\\*\\objclass " + className +
           "}\\objw1440\\objh720{\\*\\objdata " + hex + "}{\\result " + result + "}}b\\par}";
}

TEST_F(ObjectTest, RtfKeepsObjectsWithTheirDataAndSize) {
    SetText(u"before  after");
    ASSERT_EQ(InsertSample(u"caption \u00e9", 7), S_OK);
    const SIZEL size{2540, 1270}; // one inch by half an inch
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    ASSERT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_POLEOBJ), S_OK);
    reo.poleobj->SetExtent(DVASPECT_CONTENT, &size);
    SampleObjectOf(reo.poleobj)->SetText(u"caption \u00e9"); // asks for a new layout
    reo.poleobj->Release();

    DWORD error = 1;
    const std::string rtf = StreamOut(SF_RTF, &error);
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(Has(rtf, "{\\object\\objemb{\\*\\objclass Kelvor.SampleObject}"));
    EXPECT_TRUE(Has(rtf, "\\objw1440\\objh720")) << rtf;
    EXPECT_TRUE(Has(rtf, "{\\*\\objdata"));
    EXPECT_TRUE(Has(rtf, "{\\result [Sample Object]}}"));
    // Without objects: the text of the object only (a space, as in plain text).
    const std::string noObjects = StreamOut(SF_RTFNOOBJS, &error);
    EXPECT_FALSE(Has(noObjects, "\\object"));
    EXPECT_TRUE(Has(noObjects, "before   after"));
    EXPECT_EQ(StreamOut(SF_TEXTIZED, &error), "before [Sample Object] after");

    const int alive = Alive();
    StreamIn(SF_RTF, rtf, &error);
    ASSERT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"before \ufffc after");
    EXPECT_EQ(Alive(), alive); // one object went with the old text, one came with the new
    EXPECT_EQ(ObjectText(0, &reo), u"caption \u00e9");
    EXPECT_EQ(reo.cp, 7);
    EXPECT_EQ(reo.sizel.cx, 2540);
    EXPECT_EQ(reo.sizel.cy, 1270);
    // And it writes out the same again.
    EXPECT_EQ(StreamOut(SF_RTF, &error), rtf);
}

// Another program, knowing nothing of our class or our data, still reads the text around an
// object, and the object as its result text.
TEST_F(ObjectTest, LibreOfficeReadsADocumentWithObjects) {
    KELVOR_REQUIRE_LIBREOFFICE();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetText(u"before  after\rnext");
    ASSERT_EQ(InsertSample(u"caption", 7), S_OK);
    DWORD error = 1;
    const std::string path = dir.filePath("objects.rtf").toStdString();
    testsupport::WriteFile(path, StreamOut(SF_RTF, &error));
    ASSERT_EQ(error, 0u);
    EXPECT_EQ(testsupport::LibreOfficeText(path), "before [Sample Object] after\nnext\n");
}

TEST_F(ObjectTest, StreamInAsksTheCallbackForStorageAndPermission) {
    SetText(u"xy");
    ASSERT_EQ(InsertSample(u"one", 1), S_OK);
    DWORD error = 0;
    const std::string rtf = StreamOut(SF_RTF, &error);
    SetCallback();
    Select(2, 2);
    StreamIn(SF_RTF | SFF_SELECTION, rtf, &error);
    ASSERT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"x\ufffcx\ufffcy\ry"); // into a selection, the last \par stays
    EXPECT_EQ(callback_->Names(), (std::vector<std::string>{"GetNewStorage", "QueryInsertObject"}));
    EXPECT_EQ(callback_->calls.back().cp, 3); // where the object lands
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    ASSERT_EQ(Ole()->GetObject(1, &reo, REO_GETOBJ_PSTG | REO_GETOBJ_POLEOBJ), S_OK);
    EXPECT_EQ(reo.pstg, callback_->storages.back()); // the object saved itself there
    EXPECT_EQ(SampleObjectOf(reo.poleobj)->Text(), u"one");
    reo.pstg->Release();
    reo.poleobj->Release();

    // Refused, the object reads as its result text.
    callback_->queryInsert = E_FAIL;
    const int alive = Alive();
    StreamIn(SF_RTF, rtf, &error);
    EXPECT_EQ(Text(), u"x[Sample Object]y");
    EXPECT_EQ(Alive(), alive - 2); // the old text's two objects went, nothing came
}

TEST_F(ObjectTest, AHandWrittenObjectGroupIsRead) {
    // A storage with CONTENTS = "ab", its hex broken over lines and in upper case.
    const std::string hex = "4B56535447010D0A 01000000 08000000\r\n"
                            "43004f004e00540045004e0054005300 0400000000000000\n61006200";
    DWORD error = 1;
    StreamIn(SF_RTF, ObjectGroup("Kelvor.SampleObject", hex), &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"a\ufffcb");
    REOBJECT reo{};
    EXPECT_EQ(ObjectText(0, &reo), u"ab");
    EXPECT_EQ(reo.sizel.cx, 2540); // \objw1440: an inch
    EXPECT_EQ(reo.sizel.cy, 1270);
}

TEST_F(ObjectTest, ObjectsThatCannotBeMadeReadAsTheirResult) {
    DWORD error = 1;
    // A class nobody registered.
    StreamIn(SF_RTF, ObjectGroup("Paint.Picture", "d0cf11e0"), &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"a[Thing]b");
    EXPECT_EQ(Ole()->GetObjectCount(), 0);
    // A known class with data that are no storage of ours.
    StreamIn(SF_RTF, ObjectGroup("Kelvor.SampleObject", "00112233"), &error);
    EXPECT_EQ(Text(), u"a[Thing]b");
    // A storage without the object's stream.
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage;
    CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put());
    StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE, 0, storage.Put());
    std::string raw;
    ASSERT_EQ(ReadAllLockBytes(bytes.Get(), raw, 1000), S_OK);
    std::string hex;
    for (unsigned char c : raw) {
        static const char* digits = "0123456789ABCDEF";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    StreamIn(SF_RTF, ObjectGroup("Kelvor.SampleObject", hex), &error);
    EXPECT_EQ(Text(), u"a[Thing]b");
    // Asked not to make objects.
    SetText(u"");
    ASSERT_EQ(InsertSample(u"z"), S_OK);
    const std::string rtf = StreamOut(SF_RTF, &error);
    StreamIn(SF_RTFNOOBJS, rtf, &error);
    EXPECT_EQ(Text(), u"[Sample Object]");
    // The sample class unregistered: the same RTF gives text too.
    ASSERT_EQ(UnregisterObjectClass(SampleObjectClassName), S_OK);
    StreamIn(SF_RTF, rtf, &error);
    EXPECT_EQ(Text(), u"[Sample Object]");
    RegisterSampleObjectClass();
    StreamIn(SF_RTF, rtf, &error);
    EXPECT_EQ(Text(), u"\ufffc");
}

TEST_F(ObjectTest, MalformedObjectGroupsNeverBreakTheReader) {
    ASSERT_EQ(InsertSample(u"data"), S_OK);
    DWORD error = 0;
    const std::string good = StreamOut(SF_RTF, &error);
    const std::size_t dataAt = good.find("\\objdata") + 8;
    struct Case {
        std::string rtf;
        std::u16string text; // "keep" when the stream-in must fail and change nothing
    };
    const Case cases[] = {
        // Cut inside the object: truncated RTF.
        {good.substr(0, dataAt + 20), u"keep"},
        // A stray letter among the digits, and one digit too many: the data shift by half a
        // byte and are no storage any more.
        {good.substr(0, dataAt) + " 0g1" + good.substr(dataAt), u"[Sample Object]"},
        // Binary data in place of hex: longer than what follows, or no storage.
        {ObjectGroup("Kelvor.SampleObject", "\\bin99999 x"), u"keep"},
        {ObjectGroup("Kelvor.SampleObject", "\\bin4 abcd"), u"a[Thing]b"},
        // An object inside an object's result reads as text; so does an object of no class.
        {"{\\rtf1 {\\object{\\result {\\object{\\*\\objclass Kelvor.SampleObject}{\\result "
         "in}}}}\\par}",
         u"in"},
        {"{\\rtf1 {\\object}{\\object\\objw-5\\objh2147483647}x\\par}", u"x"},
        {"{\\rtf1 {\\object{\\*\\objdata 41}{\\*\\objclass}{\\result r}}\\par}", u"r"},
        // A class name far too long is cut, and is no class we know.
        {ObjectGroup(std::string(5000, 'K'), "00"), u"a[Thing]b"},
    };
    for (const Case& c : cases) {
        SetText(u"keep");
        StreamIn(SF_RTF, c.rtf, &error);
        EXPECT_EQ(Text(), c.text) << c.rtf.substr(0, 100);
        EXPECT_EQ(error != 0, c.text == u"keep");
        EXPECT_EQ(Ole()->GetObjectCount(), 0);
        Control()->Document().Check();
    }
    EXPECT_EQ(Alive(), aliveBefore_); // nothing half-made was kept
}

TEST_F(ObjectTest, ContextMenuAsksTheCallbackFirst) {
    SetCallback();
    SetText(u"abc");
    ASSERT_EQ(InsertSample(u"menu", 1), S_OK);
    Select(1, 2);
    Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit_), LPARAM(-1));
    ASSERT_EQ(callback_->Count("GetContextMenu"), 1);
    const RecordingCallback::Call& onObject = callback_->calls.back();
    EXPECT_EQ(onObject.selectionType, SEL_OBJECT | SEL_TEXT);
    EXPECT_EQ(onObject.object, u"menu");
    EXPECT_EQ(onObject.range.cpMin, 1);
    EXPECT_EQ(onObject.range.cpMax, 2);
    Select(0, 3);
    Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit_), LPARAM(-1));
    const RecordingCallback::Call& onText = callback_->calls.back();
    EXPECT_EQ(onText.selectionType, SEL_TEXT | SEL_MULTICHAR | SEL_OBJECT);
    EXPECT_EQ(onText.object, u""); // more than the object: no object is handed over
    Select(2, 2);
    Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit_), LPARAM(-1));
    EXPECT_EQ(callback_->calls.back().selectionType, SEL_EMPTY);
}

TEST_F(ObjectTest, ClipboardDataComeFromTheCallbackOrTheControl) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    SetCallback();
    SetText(u"copy me");
    Select(0, 4);
    clipboard->setText(QStringLiteral("older"));
    Send(WM_COPY); // E_NOTIMPL: the control puts its own data there
    ASSERT_EQ(callback_->Count("GetClipboardData"), 1);
    EXPECT_EQ(callback_->calls.back().reco, RECO_COPY);
    EXPECT_EQ(callback_->calls.back().range.cpMax, 4);
    EXPECT_EQ(clipboard->text(), QStringLiteral("copy"));

    callback_->clipboard = S_OK;
    Select(5, 7);
    Send(WM_CUT);
    EXPECT_EQ(callback_->calls.back().reco, RECO_CUT);
    EXPECT_EQ(Text(), u"copy ");
    EXPECT_NE(clipboard->text(), QStringLiteral("me")); // the container's data, not ours
    EXPECT_EQ(TestData::alive, 1); // kept by the control as the clipboard's data
    Select(0, 1);
    Send(WM_COPY);
    EXPECT_EQ(TestData::alive, 1); // the newer data replace the older
    DestroyWindow(edit_);
    edit_ = nullptr;
    EXPECT_EQ(TestData::alive, 0);
}

TEST_F(ObjectTest, CutAndPasteOfAnObjectMakesANewObject) {
    SetCallback();
    SetText(u"ab");
    ASSERT_EQ(InsertSample(u"moved", 1), S_OK);
    Select(1, 2);
    Send(WM_CUT);
    EXPECT_EQ(callback_->Count("DeleteObject"), 1);
    Select(0, 0);
    Send(WM_PASTE);
    EXPECT_EQ(Text(), u"\ufffcab");
    EXPECT_EQ(ObjectText(0), u"moved");
    EXPECT_EQ(callback_->Count("QueryInsertObject"), 2); // the insertion and the paste
}

class WidgetObjectTest : public ObjectTest {
protected:
    QWidget* Widget() { return GetWindowWidget(edit_); }
    // Sends a drag enter and, when it was taken, a drop at (x, y).
    bool Drop(QMimeData& data, int x, int y, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QDragEnterEvent enter(QPoint(x, y), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              modifiers);
        QApplication::sendEvent(Widget(), &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(x, y), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        modifiers);
        QApplication::sendEvent(Widget(), &drop);
        return drop.isAccepted();
    }
};

TEST_F(WidgetObjectTest, TheCallbackDecidesWhetherADropIsTaken) {
    ASSERT_NE(Widget(), nullptr);
    SetCallback();
    SetText(u"ab");
    QMimeData text;
    text.setText(QStringLiteral("dropped"));
    callback_->dropEffect = DROPEFFECT_NONE;
    EXPECT_FALSE(Drop(text, 1, 1, Qt::ControlModifier));
    EXPECT_EQ(Text(), u"ab");
    ASSERT_EQ(callback_->Count("GetDragDropEffect"), 1);
    EXPECT_FALSE(callback_->calls.back().drag);
    EXPECT_EQ(callback_->calls.back().keyState, DWORD(MK_CONTROL | MK_LBUTTON));

    callback_->dropEffect = DROPEFFECT_COPY;
    EXPECT_TRUE(Drop(text, 1, 1));
    EXPECT_EQ(Text(), u"droppedab");
    EXPECT_EQ(callback_->Count("GetDragDropEffect"), 3); // the enter and the drop

    // RTF with an object goes through the object's checks too.
    SetText(u"");
    ASSERT_EQ(InsertSample(u"rich"), S_OK);
    DWORD error = 0;
    const std::string rtf = StreamOut(SF_RTF, &error);
    SetText(u"");
    QMimeData rich;
    rich.setData("text/rtf", QByteArray::fromStdString(rtf));
    EXPECT_TRUE(Drop(rich, 1, 1));
    EXPECT_EQ(ObjectText(0), u"rich");

    // A read-only control takes nothing.
    Send(EM_SETREADONLY, 1);
    EXPECT_FALSE(Drop(text, 1, 1));
}

TEST_F(WidgetObjectTest, ObjectsDrawThemselvesInTheView) {
    DestroyWindow(edit_);
    edit_ = CreateWindowEx(0, RICHEDIT_CLASSW, u"", WS_VISIBLE, 0, 0, 300, 100, parent_, ControlId,
                           nullptr, nullptr);
    ASSERT_NE(Widget(), nullptr);
    Widget()->show();
    SetText(u"ab");
    ASSERT_EQ(InsertSample(u"drawn", 1), S_OK);
    QTest::qWait(40); // layout and the first paint happen on the event loop
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    ASSERT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_POLEOBJ), S_OK);
    ComPtr<IOleObject> object = ComPtr<IOleObject>::Attach(reo.poleobj);
    QImage image(Widget()->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    Widget()->render(&image);
    EXPECT_GE(SampleObjectOf(object.Get())->DrawCount(), 1);
    // The sample's fill colour shows where the placeholder is.
    int filled = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            filled += image.pixel(x, y) == QColor(255, 255, 224).rgb() ? 1 : 0;
        }
    }
    // The layout gave it its extent: 2 by 0.5 inches at the screen's resolution, less its
    // frame.
    const int dpi = Widget()->logicalDpiY();
    const int width = 2 * dpi;
    const int height = dpi / 2;
    EXPECT_GT(filled, (width - 2) * (height - 2) / 2);
    EXPECT_LE(filled, width * height);
}

} // namespace
