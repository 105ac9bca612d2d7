#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "RecordingOutput.h"
#include "midi/MidiMessage.h"
#include "midi/MidiPort.h"
#include "window/qt/QtForm.h"

// Dismisses every message box that opens while it lives and keeps its text,
// so that a test meets the real modal box and never hangs on it.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                icons.push_back(box->icon());
                titles.push_back(box->windowTitle());
                buttons.push_back(box->buttons().size());
                box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
            }
        });
        timer_.start();
    }

    std::vector<QString> texts;
    std::vector<QMessageBox::Icon> icons;
    std::vector<QString> titles;
    std::vector<qsizetype> buttons;

private:
    QTimer timer_;
};

// A real keyboard window that plays into a recording output.
struct FormFixture : RecordingPort {
    explicit FormFixture(std::vector<std::string> deviceNames = {}, std::set<int> failing = {})
        : RecordingPort(std::move(deviceNames), std::move(failing))
        , form(port)
        , form1(form.form1())
    {
        form1.Form_Load();
        form.show();
        exposed = QTest::qWaitForWindowExposed(&form);
        recording->clear();
    }

    // A point of the client area in the window's own coordinates, for events
    // that Qt routes to whichever control lies on top there.
    QPoint windowPoint(QPoint clientPoint) const { return form.clientArea()->mapTo(&form, clientPoint); }

    QWindow* window() { return form.windowHandle(); }

    MessageBoxWatcher boxes;
    bool exposed = false;
    QtForm form;
    Form1& form1;
};
