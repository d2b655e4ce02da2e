#pragma once
// The numbered part of the main menu: the seven top menus whose items carry
// rights.  Positions count separators ("-"), so a menu number "TII" addresses
// top menu T, item II.  The help menu follows them and carries no numbers.

#include <QString>
#include <QStringList>
#include <vector>

namespace velmora {

struct MenuTop {
    QString caption;
    QStringList items;  // "-" for a separator
};

const std::vector<MenuTop> &numberedMenus();

// The catalogue name of an item: the caption up to and including its first
// blank when that blank lies past the third GBK byte, else the whole caption.
QString menuName(const QString &caption);

// Menu number of top menu `top`, item `item` ("000" ... "518").
QString menuNumber(int top, int item);
// Reads a menu number back; false when it does not have that form.
bool parseMenuNumber(const QString &mnum, int *top, int *item);

}  // namespace velmora
