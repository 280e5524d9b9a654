#pragma once

#include <QIcon>
#include <QWidget>

// An image control (the forms' Img... and ProgramIcon): shows one picture,
// drawn at paint time from the version made for the display scale of the
// screen the window is on, so that it stays sharp at 125 % to 200 % and
// follows the window from one screen to another. A single bitmap would be
// smoothed up instead.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QIcon &picture);
    const QIcon &picture() const { return m_picture; }

    // Stretches the picture over the whole box: the version nearest the
    // box's size on the screen, smoothly scaled the rest of the way.
    void setScaledContents(bool scaled);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QIcon m_picture;
    bool m_scaled = false;
};
