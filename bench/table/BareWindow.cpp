// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// The reference of the table's start-up row: the least a Qt Widgets program
// does to show a window of Tindrel's size. Its start to a mapped window is
// the floor Tindrel's own start is held against.
//   bench_table_bare_window
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    // Tindrel's main window: 653 x 513, fixed.
    window.setFixedSize(653, 513);
    window.show();
    return app.exec();
}
