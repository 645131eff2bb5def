#include "viewer/about.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTextEdit>

#include "version.h"

namespace tavin {

namespace {

QTextEdit* memo(QWidget* parent, const char* name, const QRect& place, const QFont& font) {
    auto* m = new QTextEdit(parent);
    m->setObjectName(QLatin1String(name));
    m->setGeometry(place);
    m->setFont(font);
    m->setFrameStyle(QFrame::NoFrame);
    m->setReadOnly(true);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setStyleSheet(QStringLiteral("QTextEdit{background:white;}"));
    return m;
}

void setCentredLines(QTextEdit* m, const QStringList& lines) {
    m->setPlainText(lines.join(QLatin1Char('\n')));
    QTextCursor all(m->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);
}

}  // namespace

QIcon applicationIcon() {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("tavin"));
    if (!themed.isNull()) return themed;
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        // A page with a folded corner and a "T" on it.
        QPainterPath page;
        page.moveTo(12, 4);
        page.lineTo(42, 4);
        page.lineTo(54, 16);
        page.lineTo(54, 60);
        page.lineTo(12, 60);
        page.closeSubpath();
        p.setPen(QPen(QColor(0x1f, 0x3b, 0x6e), 3));
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.setBrush(QColor(0xd6, 0xe2, 0xf3));
        p.drawPolygon(QPolygonF({QPointF(42, 4), QPointF(42, 16), QPointF(54, 16)}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x3b, 0x6e));
        p.drawRect(QRectF(20, 24, 26, 7));
        p.drawRect(QRectF(29.5, 24, 7, 28));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap TfrmAbout::banner() {
    QPixmap pixmap(297, 80);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 297, 80);
    sky.setColorAt(0, QColor(0x1f, 0x3b, 0x6e));
    sky.setColorAt(1, QColor(0x4f, 0x8a, 0xc9));
    p.fillRect(pixmap.rect(), sky);

    // A page with a folded corner, as in the icon.
    QPainterPath page;
    page.moveTo(40, 12);
    page.lineTo(62, 12);
    page.lineTo(72, 22);
    page.lineTo(72, 68);
    page.lineTo(40, 68);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x1f, 0x3b, 0x6e), 2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(0xd6, 0xe2, 0xf3));
    p.drawPolygon(QPolygonF({QPointF(62, 12), QPointF(62, 22), QPointF(72, 22)}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x3b, 0x6e));
    p.drawRect(QRectF(47, 30, 18, 5));
    p.drawRect(QRectF(53.5, 30, 5, 30));

    QFont title(QStringLiteral("DejaVu Serif"), 30, QFont::Bold);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(84, 4, 200, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tavin"));
    QFont tag(QStringLiteral("DejaVu Sans"), 9);
    p.setFont(tag);
    p.setPen(QColor(0xe6, 0xee, 0xf8));
    p.drawText(QRect(86, 50, 200, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("the fast .docx viewer"));
    return pixmap;
}

TfrmAbout::TfrmAbout(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(264, 327);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(-12, 8, 261, 89);
    Image1->setPixmap(banner());
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Memo1 = memo(this, "Memo1", QRect(26, 112, 211, 113), QFont(QStringLiteral("Tahoma"), 9));
    Memo1->setEnabled(false);
    const QString version = QStringLiteral(TAVIN_VERSION);
    const QString hashes(20, QLatin1Char('#'));
    setCentredLines(Memo1, {hashes, QStringLiteral("Tavin"),
                            QStringLiteral("Version ") + version.section(QLatin1Char('.'), 0, 1),
                            QStringLiteral("Build ") + version, QString::fromLatin1(kMakerName),
                            QString::fromLatin1(kMakerAddress), hashes + QLatin1Char(' ')});

    Memo2 = memo(this, "Memo2", QRect(26, 240, 211, 81), QFont(QStringLiteral("Verdana"), 8));
    setCentredLines(Memo2, {QStringLiteral("News, updates and other tools"), QStringLiteral("are on our web site:"),
                            QString::fromLatin1(kMakerAddress)});
}

}  // namespace tavin
