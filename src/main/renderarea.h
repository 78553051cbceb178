#pragma once

#include "engine/gl/eglsurface.h"

#include <QImage>
#include <QWidget>

#include <functional>

class Application;

// The Linux face's drawing area: the native renderer draws into an off-screen OpenGL framebuffer
// of the widget's size (the surface the Engine's device is made over), and each frame drawn is
// painted into the widget. Mouse presses, moves, releases, wheel turns and the view keys go to the
// application.
class RenderArea : public QWidget {
public:
    explicit RenderArea(QWidget* parent);

    // The surface the Engine draws on.
    GlSurface& surface() { return m_surface; }
    // From now on events reach application; guard runs each call, so that errors end the loop.
    void attach(Application* application, std::function<void(const std::function<void()>&)> guard);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // F frames the model, Home brings the starting view back.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void call(const std::function<void()>& action);

    EglSurface m_surface;
    Application* m_application = nullptr;
    std::function<void(const std::function<void()>&)> m_guard;
};
