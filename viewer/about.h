// The About box: a banner and two short texts about Tavin and its maker.
#pragma once

#include <QIcon>

#include <QDialog>
#include <QPixmap>

class QLabel;
class QTextEdit;

namespace tavin {

// The application's icon: the installed "tavin" icon of the theme, else
// the same page drawn at the usual sizes.
QIcon applicationIcon();

// The maker's home page, opened by Help > the maker's address.
inline constexpr const char* kMakerName = "Tessarine";
inline constexpr const char* kMakerAddress = "www.tessarine.com";
inline constexpr const char* kMakerUrl = "https://www.tessarine.com/";

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* owner);

    QLabel* Image1;
    QTextEdit* Memo1;
    QTextEdit* Memo2;

    // The 297 x 80 banner, drawn here rather than shipped as a picture.
    static QPixmap banner();
};

}  // namespace tavin
