#pragma once

// frmAbout: the small fixed About dialog with the banner, the program icon, the title, the
// version line, the maker's lines, a link to the product's page and an OK button.

#include <QDialog>
#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QUrl>

#include <functional>

class QPushButton;

namespace orvane {

// Opens a web address; the result is not looked at. Tests pass their own.
using UrlOpener = std::function<void(const QUrl &)>;

// The product's own texts. The address is under .example, a name reserved for documentation
// that can never belong to anyone's site.
inline constexpr char kAboutDescription[] = "Copyright (C) Orvane Replace developers";
inline constexpr char kAboutAuthor[] = "Author: the Orvane Replace team";
inline constexpr char kAboutPhone[] = "Tel: none";
inline constexpr char kProductAddress[] = "https://orvane.example/";

// A label that reports a left click, like a link.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr, UrlOpener opener = {});

    // ImageList1: the dialog's image list, never shown. Its first (and only) image is the
    // pointing hand that Form_Load makes lblHttp's cursor.
    const QList<QPixmap> &ImageList1() const { return m_imageList1; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void placeOnScreen();
    void cmdOK_Click();
    void lblHttp_Click();

    UrlOpener m_opener;
    QList<QPixmap> m_imageList1;
    QLabel *m_image1 = nullptr;
    QLabel *m_picIcon = nullptr;
    QLabel *m_lblTitle = nullptr;
    QLabel *m_lblVersion = nullptr;
    QLabel *m_lblDescription = nullptr;
    QLabel *m_lblAuthor = nullptr;
    QLabel *m_lblPhone = nullptr;
    ClickLabel *m_lblHttp = nullptr;
    QPushButton *m_cmdOK = nullptr;
};

// Help > About: shows frmAbout modally over owner and returns when it has been closed.
void ShowAbout(QWidget *owner);

} // namespace orvane
