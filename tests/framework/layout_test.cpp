// The program's dialogs as the Qt backend lays them out: every control at
// its template rectangle, no text cut off, pictures centred inside their
// buttons' frames.
#include "framework/afxwin.h"
#include "framework/qt/picture_button.h"
#include "framework/qt/qt_backend.h"
#include "framework/testing.h"
#include "res/resource.h"
#include "res/templates.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// A dialog on a program template with nothing of the program's behaviour:
// the picture buttons bound so that a test can give them images.
class BareDlg : public CDialog {
public:
    explicit BareDlg(UINT id) : CDialog(id) {}
    CButton m_btnBackup, m_btnRestore, m_btnQuit, m_btnBrowse, m_btnRefresh;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        if (m_nIDTemplate != IDD_MAIN) return;
        DDX_Control(pDX, IDC_BACKUP, m_btnBackup);
        DDX_Control(pDX, IDC_RESTORE, m_btnRestore);
        DDX_Control(pDX, IDC_QUIT, m_btnQuit);
        DDX_Control(pDX, IDC_BROWSE, m_btnBrowse);
        DDX_Control(pDX, IDC_REFRESH, m_btnRefresh);
    }
};

struct Units {
    double x, y;
    int px(int v) const { return (int)(v * x + 0.5); }
    int py(int v) const { return (int)(v * y + 0.5); }
};

// Dialog units as the dialog manager measures them: a quarter of the
// font's average character width, an eighth of its height.
Units UnitsOf(const QFont& font) {
    QFontMetrics metrics(font);
    const int total = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {((total / 26 + 1) / 2) / 4.0, metrics.height() / 8.0};
}

class Layout : public ::testing::TestWithParam<WORD> {};

TEST_P(Layout, ControlsSitAtTheirTemplateRectanglesAndTextsFit) {
    ASSERT_NE(FindDialogTemplate(GetParam()), nullptr);
    const DialogTemplate& t = *FindDialogTemplate(GetParam());
    BareDlg dialog(t.id);
    ASSERT_TRUE(fwtest::Open(dialog));
    QWidget* window = dialog.m_hWnd->widget;
    const Units u = UnitsOf(window->font());
    EXPECT_EQ(window->size(), QSize(u.px(t.cx), u.py(t.cy)));
    const std::vector<fwtest::ControlState> controls = fwtest::Controls(dialog);
    ASSERT_EQ(controls.size(), t.controlCount);
    for (size_t i = 0; i < t.controlCount; ++i) {
        const DialogControl& c = t.controls[i];
        const RECT r = controls[i].rect;
        SCOPED_TRACE(std::string(c.className) + " " + std::to_string(c.id) + " " + (c.text ? c.text : ""));
        EXPECT_EQ(r.left, u.px(c.x));
        EXPECT_EQ(r.top, u.py(c.y));
        EXPECT_EQ(r.right, u.px(c.x + c.cx));
        // A closed drop-down list is one line high; the template gives the
        // height of the open list.
        if (std::string(c.className) == "COMBOBOX")
            EXPECT_LT(r.bottom, u.py(c.y + c.cy));
        else
            EXPECT_EQ(r.bottom, u.py(c.y + c.cy));
        EXPECT_TRUE(controls[i].visible);

        // No text wider or taller than its control.
        const bool picture = std::string(c.className) == "BUTTON" && (c.style & (BS_BITMAP | BS_ICON));
        if (c.text && *c.text && !picture && (c.style & 0x0F) != BS_GROUPBOX) {
            QFontMetrics metrics(window->font());
            const int margin = std::string(c.className) == "BUTTON" ? 4 : 0;
            EXPECT_LE(metrics.horizontalAdvance(QString::fromUtf8(c.text)) + 2 * margin, r.right - r.left);
            EXPECT_LE(metrics.height(), r.bottom - r.top);
        }
    }
    fwtest::Close(dialog);
}

INSTANTIATE_TEST_SUITE_P(ProgramTemplates, Layout, ::testing::Values((WORD)IDD_MAIN, (WORD)IDD_ABOUTBOX),
                         [](const ::testing::TestParamInfo<WORD>& param) {
                             return param.param == IDD_MAIN ? "Main" : "About";
                         });

TEST(Pictures, SitCentredAtTheirOwnSizeInsideTheFrame) {
    BareDlg dialog(IDD_MAIN);
    ASSERT_TRUE(fwtest::Open(dialog));
    CBitmap backup, restore, quit;
    ASSERT_TRUE(backup.LoadBitmap(IDB_BACKUP_ON));
    ASSERT_TRUE(restore.LoadBitmap(IDB_RESTORE_OFF));
    ASSERT_TRUE(quit.LoadBitmap(IDB_QUIT));
    dialog.m_btnBackup.SetBitmap(backup);
    dialog.m_btnRestore.SetBitmap(restore);
    dialog.m_btnQuit.SetBitmap(quit);
    dialog.m_btnBrowse.SetIcon(AfxGetApp()->LoadIcon(IDI_BROWSE));
    dialog.m_btnRefresh.SetIcon(AfxGetApp()->LoadIcon(IDI_REFRESH));

    struct Case {
        int id;
        UINT image;
        QSize size;
    };
    const Case cases[] = {
        {IDC_BACKUP, IDB_BACKUP_ON, {104, 55}}, {IDC_RESTORE, IDB_RESTORE_OFF, {104, 55}},
        {IDC_QUIT, IDB_QUIT, {104, 55}},        {IDC_BROWSE, IDI_BROWSE, {32, 32}},
        {IDC_REFRESH, IDI_REFRESH, {32, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(fwtest::ImageId(dialog, c.id), c.image);
        auto* button = dynamic_cast<qtfw::PictureButton*>(dialog.GetDlgItem(c.id)->m_hWnd->widget.data());
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->text().isEmpty());
        ASSERT_EQ(button->Picture().size(), c.size);
        const qtfw::PictureButton::Placement place = button->Place();
        const QRect inside = button->Inside();
        // At its own size, all of what it shows inside the frame line.
        const QImage picture = button->Picture().toImage().convertToFormat(QImage::Format_ARGB32);
        QRect shows;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qAlpha(picture.pixel(x, y))) shows |= QRect(x, y, 1, 1);
        EXPECT_EQ(place.target.size(), place.source.size());
        EXPECT_TRUE(inside.contains(shows.translated(place.target.topLeft() - place.source.topLeft())));
        if (c.size.width() == 104) {
            EXPECT_EQ(place.source, QRect(QPoint(0, 0), c.size));
        }
        // Centred: the margins either side differ by a pixel at most.
        const QRect whole(place.target.topLeft() - place.source.topLeft(), c.size);
        EXPECT_LE(std::abs((whole.left() - inside.left()) - (inside.right() - whole.right())), 1);
        EXPECT_LE(std::abs((whole.top() - inside.top()) - (inside.bottom() - whole.bottom())), 1);
        // And drawn there.
        const QImage shot = button->grab().toImage();
        const QPoint middle = place.source.center();
        if (qAlpha(picture.pixel(middle)) == 255) {
            EXPECT_EQ(shot.pixel(place.target.topLeft() + (middle - place.source.topLeft())), picture.pixel(middle));
        }
    }
    fwtest::Close(dialog);
}

TEST(Pictures, TooBigForTheButtonIsScaledDownNotCut) {
    QWidget parent;
    qtfw::PictureButton button(&parent);
    button.setGeometry(0, 0, 20, 18);
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(qRgba(0, 0, 0, 0));
    for (int y = 2; y < 30; ++y)
        for (int x = 4; x < 28; ++x) image.setPixel(x, y, qRgb(200, 10, 10));
    button.SetPicture(QPixmap::fromImage(image));
    const qtfw::PictureButton::Placement place = button.Place();
    EXPECT_EQ(place.source, QRect(4, 2, 24, 28));
    EXPECT_TRUE(button.Inside().contains(place.target));
    EXPECT_EQ(place.target.height(), button.Inside().height());
    // The proportions kept.
    EXPECT_NEAR((double)place.target.width() / place.target.height(), 24.0 / 28.0, 0.06);
}

}  // namespace
