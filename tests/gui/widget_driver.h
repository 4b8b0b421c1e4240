// Driving real widgets as the user does: items of the trees found by their captions and clicked, and
// fields typed into.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <string>
#include <vector>

namespace kestrane::gui::testing {

using Texts = std::vector<std::string>;

inline std::string Text(const QTreeWidgetItem* item) {
    return item ? item->text(0).toStdString() : std::string("-");
}

// The captions of an item's children.
inline Texts Children(const QTreeWidgetItem* item) {
    Texts out;
    for (int i = 0; item && i < item->childCount(); ++i) out.push_back(Text(item->child(i)));
    return out;
}

// The captions of the top-level items.
inline Texts TopLevel(const QTreeWidget* tree) {
    Texts out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) out.push_back(Text(tree->topLevelItem(i)));
    return out;
}

// The item reached from the first top-level item through the captions given; null when there is none.
inline QTreeWidgetItem* At(QTreeWidget* tree, const Texts& path) {
    QTreeWidgetItem* item = tree->topLevelItem(0);
    for (const std::string& caption : path) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; item && i < item->childCount() && !next; ++i)
            if (Text(item->child(i)) == caption) next = item->child(i);
        item = next;
    }
    return item;
}

// Clicks an item, or double-clicks it.
inline void Click(QTreeWidget* tree, QTreeWidgetItem* item, bool twice = false) {
    ASSERT_NE(item, nullptr);
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    if (!twice) return;
    // The widget side of the test library sends the double click alone.
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
}

// Clicks the item reached through the captions given.
inline void Click(QTreeWidget* tree, const Texts& path) {
    Click(tree, At(tree, path));
}

inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Replaces the field's text as typing does (the test library's key clicks know ASCII alone).
inline void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
}

}  // namespace kestrane::gui::testing
