#include "ui/about/form2.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

#include "ui/twips.h"

namespace geometry {
constexpr QSize kClient = twipsSize(3120, 3195);
// Label1 reaches past the right edge of the window, which clips it.
constexpr QRect kLabel1 = twipsRect(480, 240, 3975, 735);
constexpr QRect kLabel2 = twipsRect(240, 1080, 2655, 615);
constexpr QRect kLabel3 = twipsRect(120, 2160, 2775, 375);
constexpr QRect kLabel4 = twipsRect(0, 1680, 2775, 375);
constexpr QRect kCommand1 = twipsRect(1920, 2760, 975, 375);
}  // namespace geometry

namespace {

const QColor kBackground(0, 128, 128);

// "宋体" is the face the window was designed with; start-up maps it to a Song face installed here.
QFont songFont(qreal pointSize) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

// An information sign, drawn for both sizes a window icon is shown in.
QIcon aboutIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/about-32.xpm"));
    icon.addFile(QStringLiteral(":/icons/about-16.xpm"));
    return icon;
}

QLabel *createLabel(const QString &name, const QString &caption, const QRect &geometry,
                    QWidget *parent) {
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    // Plain text keeps the leading spaces that indent the captions.
    label->setTextFormat(Qt::PlainText);
    // Top left and on one line, as designed (no word wrap); what does not fit is clipped.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    // No fill of its own: the label shows the window's colour behind its text.
    label->setAutoFillBackground(false);
    return label;
}

}  // namespace

Form2::Form2(QWidget *parent) : QWidget(parent) {
    createWidgets();
    setUpWindow();
    wire();
}

void Form2::createWidgets() {
    // Created in tab order; only the button takes the focus, labels never do.
    label1_ = createLabel(QStringLiteral("Label1"), QStringLiteral("  Qorvel制作"),
                          geometry::kLabel1, this);
    label1_->setFont(songFont(15.75));

    label2_ = createLabel(QStringLiteral("Label2"), QStringLiteral("  谢谢使用，欢迎提出建议"),
                          geometry::kLabel2, this);
    label2_->setFont(songFont(10.5));

    label3_ = createLabel(QStringLiteral("Label3"), QStringLiteral("             2004年4月9日"),
                          geometry::kLabel3, this);
    label3_->setFont(songFont(10.5));

    label4_ =
        createLabel(QStringLiteral("Label4"), QStringLiteral("        信箱：mail@example.com"),
                    geometry::kLabel4, this);

    command1_ = new QPushButton(QStringLiteral("返回"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(geometry::kCommand1);
    // Enter clicks it, as on the main window's buttons.
    command1_->setAutoDefault(true);
    command1_->setFocus();

    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
}

void Form2::setUpWindow() {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("关于"));
    setWindowIcon(aboutIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(geometry::kClient);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, kBackground);
    setPalette(background);
    // Each visit loads the window afresh from its definition.
    setAttribute(Qt::WA_DeleteOnClose);
}

void Form2::wire() {
    connect(command1_, &QPushButton::clicked, this, &QWidget::close);
    // Esc leaves the window the way a dialog is left, by its button.
    connect(escape_, &QShortcut::activated, command1_, &QPushButton::click);
}

void Form2::closeEvent(QCloseEvent *event) {
    // A close through the frame goes back just like the button: otherwise no window would be
    // left on the screen while the application keeps running.
    emit backRequested();
    event->accept();
}
