// Questions and messages of the viewer.
#pragma once

#include <QString>

class QWidget;

namespace tavin {

// A modal Yes/No box titled "Confirm" with a question icon; true only when
// the user chooses Yes. Closing the box any other way answers No.
bool confirm(const QString& question, QWidget* parent = nullptr);

}  // namespace tavin
