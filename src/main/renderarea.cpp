#include "main/renderarea.h"

#include "main/application.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

RenderArea::RenderArea(QWidget* parent)
    : QWidget(parent), m_surface(std::max(1, width()), std::max(1, height())) {
    // Every pixel is painted from the frame: no background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

void RenderArea::attach(Application* application, std::function<void(const std::function<void()>&)> guard) {
    m_application = application;
    m_guard = std::move(guard);
}

void RenderArea::call(const std::function<void()>& action) {
    if (m_application != nullptr && m_guard) {
        m_guard(action);
    }
}

void RenderArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    bool drawn = false;
    call([this, &drawn] {
        m_application->paint();
        drawn = m_application->getEngine() != nullptr;
    });
    if (!drawn || m_surface.width() != width() || m_surface.height() != height()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The back buffer has no alpha to show (X8R8G8B8): the frame is painted opaque.
    const std::vector<std::uint8_t> pixels = m_surface.readPixels();
    const QImage frame(pixels.data(), m_surface.width(), m_surface.height(), m_surface.width() * 4,
                       QImage::Format_RGBX8888);
    painter.drawImage(0, 0, frame);
}

// The framebuffer takes the new size first: the application then resets the device, whose back
// buffer follows the surface.
void RenderArea::resizeEvent(QResizeEvent*) {
    if (width() > 0 && height() > 0) {
        m_surface.resize(width(), height());
    }
    call([this] { m_application->resized(); });
}

void RenderArea::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    call([this, button, p] { m_application->buttonDown(button == Qt::LeftButton, p.x(), p.y()); });
}

void RenderArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        call([this] { m_application->buttonUp(); });
    }
}

void RenderArea::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    call([this, p] { m_application->pointerMoved(p.x(), p.y()); });
}

void RenderArea::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) {
        call([this, delta] { m_application->wheelTurned(delta); });
    }
    event->accept();
}

void RenderArea::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (plain && event->key() == Qt::Key_F) {
        call([this] { m_application->frameModel(); });
    } else if (plain && event->key() == Qt::Key_Home) {
        call([this] { m_application->resetView(); });
    } else {
        QWidget::keyPressEvent(event);
    }
}
