#pragma once

#include <QPushButton>

// A button that looks like a link: its title in blue, underlined, centred, with the pointing hand
// over it (change it with setCursor). What a click opens is the owner's business (clicked()).
class DCHyperLinkButton : public QPushButton {
    Q_OBJECT
public:
    explicit DCHyperLinkButton(const QString &title = QString(), QWidget *parent = nullptr);
};
