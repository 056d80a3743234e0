#pragma once

#include "platform/message_box.h"
#include "viewer/window/map_view.h"
#include "viewer/window/viewer_window.h"
#include "viewer_task_fixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStandardPaths>
#include <gtest/gtest.h>

// The viewer's window on screen with the example task at hand, its messages
// read instead of shown, and the mouse driven by events.
class ViewerWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        InterceptMessages([this](MessageKind, const QString& text) { messages << text; });
        window.resize(800, 600);
        window.show();
    }
    void TearDown() override { InterceptMessages({}); }

    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, at, window.View()->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(window.View(), &event);
    }
    void MoveTo(QPointF at) { Mouse(QEvent::MouseMove, at, Qt::NoButton); }
    QPointF ScreenOf(QPointF map) { return window.View()->Geometry().ToScreen(map); }

    ViewerTask fixture;
    QStringList messages;
    ViewerWindow window;
};
