#pragma once
// Drop-down boxes measured with the font they are drawn in.

#include <QAbstractItemView>
#include <QComboBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWidget>
#include <gtest/gtest.h>

// The room a combo box gives its text, as its style draws it.
inline int comboTextRoom(QComboBox *box)
{
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = box->isEditable();
    opt.frame = box->hasFrame();
    return box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box).width();
}

// Every drop-down box of the shown window shows each of its entries whole
// and has room for ten Chinese characters; its list is as wide as its
// longest entry.  Returns how many boxes were measured.
inline int expectBoxesShowTheirEntries(QWidget &w)
{
    SCOPED_TRACE(w.metaObject()->className());
    w.show();
    int measured = 0;
    for (QComboBox *b : w.findChildren<QComboBox *>()) {
        if (!b->isVisibleTo(&w)) continue;
        ++measured;
        const QFontMetrics fm = b->fontMetrics();
        EXPECT_GE(comboTextRoom(b), fm.horizontalAdvance(QString(10, QChar(0x4E2D))));
        for (int i = 0; i < b->count(); ++i) {
            EXPECT_GE(comboTextRoom(b), fm.horizontalAdvance(b->itemText(i))) << b->itemText(i).toStdString();
            EXPECT_GE(b->view()->minimumWidth(), b->view()->fontMetrics().horizontalAdvance(b->itemText(i)));
        }
    }
    return measured;
}
