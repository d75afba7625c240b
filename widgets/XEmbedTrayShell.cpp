#include "widgets/XEmbedTrayShell.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QSocketNotifier>
#include <QStyleHints>
#include <QTimer>
#include <QToolTip>

#include <cstdlib>
#include <map>
#include <string>
#include <xcb/render.h>
#include <xcb/xcb.h>

namespace pulo {

namespace {

constexpr std::uint32_t RequestDock = 0;
constexpr std::uint32_t XEmbedMapped = 1;
constexpr std::uint16_t StartingSize = 22;
constexpr std::size_t KeptPictures = 32; // the animation's frames and the still images, with room

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> Take(T* reply)
{
    return Reply<T>(reply, &std::free);
}

class XEmbedTrayShell final : public ITrayShell
{
public:
    // The shell on a connection of its own, or null when the display offers no way to it.
    static std::unique_ptr<XEmbedTrayShell> Connect();
    ~XEmbedTrayShell() override;
    XEmbedTrayShell(const XEmbedTrayShell&) = delete;
    XEmbedTrayShell& operator=(const XEmbedTrayShell&) = delete;

    bool NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& data, const QIcon& image) override;
    [[nodiscard]] bool TrayAvailable() const override { return Manager != XCB_NONE; }
    void ShowLongTip(const QString& tip) override;
    void ShowBalloon(const QString& title, const QString& text) override;

private:
    XEmbedTrayShell(xcb_connection_t* connection, xcb_screen_t* screen) : Connection(connection), Screen(screen) {}
    bool Prepare(int screenNumber);
    xcb_atom_t Atom(const char* name);
    void FindManager();
    void Dock();
    void DestroyWindow();
    void FreePictures();
    void Paint();
    [[nodiscard]] xcb_render_picture_t PictureOf(const QIcon& icon);
    [[nodiscard]] xcb_render_pictformat_t FormatOfVisual(xcb_visualid_t visual) const;
    void Drain();
    void Handle(const xcb_generic_event_t* event);
    void Button(const xcb_button_press_event_t* event, bool pressed);
    void ApplyTip(const QString& tip);

    xcb_connection_t* Connection;
    xcb_screen_t* Screen;
    std::unique_ptr<QSocketNotifier> Events;
    Reply<xcb_render_query_pict_formats_reply_t> Formats{nullptr, &std::free};
    xcb_render_pictformat_t Argb32 = XCB_NONE;
    xcb_atom_t Selection = XCB_NONE;
    xcb_atom_t Opcode = XCB_NONE;
    xcb_atom_t TrayVisual = XCB_NONE;
    xcb_atom_t ManagerAtom = XCB_NONE;
    xcb_atom_t XEmbedInfo = XCB_NONE;
    xcb_atom_t WmName = XCB_NONE;
    xcb_atom_t Utf8 = XCB_NONE;
    xcb_window_t Manager = XCB_NONE;
    xcb_window_t Window = XCB_NONE;
    xcb_colormap_t Colormap = XCB_NONE;
    xcb_render_picture_t WindowPicture = XCB_NONE;
    std::uint16_t Width = StartingSize;
    std::uint16_t Height = StartingSize;
    std::map<qint64, xcb_render_picture_t> Pictures; // by the image's cache key
    bool Added = false;
    win::UINT Callback = 0;
    QIcon Shown;
    QString Tip;
    QString LongTip;
    bool Hovering = false;
    xcb_timestamp_t LastPress = 0;
    xcb_button_t LastButton = 0;
    std::unique_ptr<QLabel> Balloon;
};

std::unique_ptr<XEmbedTrayShell> XEmbedTrayShell::Connect()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    // The images are sent as this machine lays them out: a server that reads them otherwise is
    // left to Qt's icon.
    if (screens.rem == 0 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<XEmbedTrayShell> shell(new XEmbedTrayShell(connection, screens.data));
    if (!shell->Prepare(screenNumber))
        return nullptr;
    return shell;
}

bool XEmbedTrayShell::Prepare(int screenNumber)
{
    const xcb_query_extension_reply_t* render = xcb_get_extension_data(Connection, &xcb_render_id);
    if (render == nullptr || render->present == 0)
        return false;
    Take(xcb_render_query_version_reply(Connection, xcb_render_query_version(Connection, 0, 11), nullptr));
    Formats = Take(xcb_render_query_pict_formats_reply(Connection, xcb_render_query_pict_formats(Connection), nullptr));
    if (!Formats)
        return false;
    for (auto formats = xcb_render_query_pict_formats_formats_iterator(Formats.get()); formats.rem > 0;
         xcb_render_pictforminfo_next(&formats)) {
        const xcb_render_pictforminfo_t& format = *formats.data;
        if (format.type == XCB_RENDER_PICT_TYPE_DIRECT && format.depth == 32 && format.direct.alpha_shift == 24 &&
            format.direct.alpha_mask == 0xFF && format.direct.red_shift == 16 && format.direct.red_mask == 0xFF &&
            format.direct.green_shift == 8 && format.direct.blue_shift == 0)
            Argb32 = format.id;
    }
    if (Argb32 == XCB_NONE)
        return false;

    Selection = Atom(("_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber)).c_str());
    Opcode = Atom("_NET_SYSTEM_TRAY_OPCODE");
    TrayVisual = Atom("_NET_SYSTEM_TRAY_VISUAL");
    ManagerAtom = Atom("MANAGER");
    XEmbedInfo = Atom("_XEMBED_INFO");
    WmName = Atom("_NET_WM_NAME");
    Utf8 = Atom("UTF8_STRING");
    // A tray host announces itself to the root window.
    const std::uint32_t rootEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(Connection, Screen->root, XCB_CW_EVENT_MASK, &rootEvents);
    FindManager();

    Events = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(Connection), QSocketNotifier::Read);
    QObject::connect(Events.get(), &QSocketNotifier::activated, Events.get(), [this] { Drain(); });
    Drain();
    return true;
}

XEmbedTrayShell::~XEmbedTrayShell()
{
    Events.reset();
    DestroyWindow();
    xcb_disconnect(Connection);
}

xcb_atom_t XEmbedTrayShell::Atom(const char* name)
{
    const auto reply = Take(xcb_intern_atom_reply(
        Connection, xcb_intern_atom(Connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

void XEmbedTrayShell::FindManager()
{
    const auto owner =
        Take(xcb_get_selection_owner_reply(Connection, xcb_get_selection_owner(Connection, Selection), nullptr));
    Manager = owner ? owner->owner : XCB_NONE;
    if (Manager != XCB_NONE) {
        // Its end is seen as the destruction of its window.
        const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(Connection, Manager, XCB_CW_EVENT_MASK, &events);
    }
}

xcb_render_pictformat_t XEmbedTrayShell::FormatOfVisual(xcb_visualid_t visual) const
{
    for (auto screens = xcb_render_query_pict_formats_screens_iterator(Formats.get()); screens.rem > 0;
         xcb_render_pictscreen_next(&screens))
        for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem > 0;
             xcb_render_pictdepth_next(&depths))
            for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem > 0;
                 xcb_render_pictvisual_next(&visuals))
                if (visuals.data->visual == visual)
                    return visuals.data->format;
    return XCB_NONE;
}

void XEmbedTrayShell::Dock()
{
    DestroyWindow();
    if (Manager == XCB_NONE)
        return;
    // A tray that composites asks for icons of its own (32-bit) visual; the others draw their
    // background behind the icon's window.
    xcb_visualid_t visual = Screen->root_visual;
    std::uint8_t depth = XCB_COPY_FROM_PARENT;
    const auto asked = Take(xcb_get_property_reply(
        Connection, xcb_get_property(Connection, 0, Manager, TrayVisual, XCB_ATOM_VISUALID, 0, 1), nullptr));
    if (asked && asked->format == 32 && xcb_get_property_value_length(asked.get()) == 4) {
        const auto wanted = *static_cast<const xcb_visualid_t*>(xcb_get_property_value(asked.get()));
        for (auto depths = xcb_screen_allowed_depths_iterator(Screen); depths.rem > 0; xcb_depth_next(&depths))
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == wanted && depths.data->depth == 32) {
                    visual = wanted;
                    depth = 32;
                }
    }
    const xcb_render_pictformat_t format = FormatOfVisual(visual);
    if (format == XCB_NONE)
        return;

    Window = xcb_generate_id(Connection);
    const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                 XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;
    if (depth == 32) {
        Colormap = xcb_generate_id(Connection);
        xcb_create_colormap(Connection, XCB_COLORMAP_ALLOC_NONE, Colormap, Screen->root, visual);
        const std::uint32_t values[] = {0, 0, events, Colormap}; // transparent background and border
        xcb_create_window(Connection, depth, Window, Screen->root, 0, 0, Width, Height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    } else {
        const std::uint32_t values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE, events};
        xcb_create_window(Connection, depth, Window, Screen->root, 0, 0, Width, Height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    }
    static constexpr char Class[] = "pulopro\0PuloPro"; // with its final zero: two names
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof Class,
                        Class);
    static constexpr char Name[] = "PuloPro";
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Window, WmName, Utf8, 8, sizeof Name - 1, Name);
    // The tray sizes the icon from its hints: at least the size icons start at.
    std::uint32_t hints[18] = {};
    hints[0] = 8 | 16; // a size and a smallest size given
    hints[3] = hints[5] = Width;
    hints[4] = hints[6] = Height;
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                        18, hints);
    const std::uint32_t info[] = {0, XEmbedMapped}; // protocol version 0, to be shown
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Window, XEmbedInfo, XEmbedInfo, 32, 2, info);
    WindowPicture = xcb_generate_id(Connection);
    xcb_render_create_picture(Connection, WindowPicture, Window, format, 0, nullptr);

    xcb_client_message_event_t dock{};
    dock.response_type = XCB_CLIENT_MESSAGE;
    dock.format = 32;
    dock.window = Manager;
    dock.type = Opcode;
    dock.data.data32[0] = XCB_CURRENT_TIME;
    dock.data.data32[1] = RequestDock;
    dock.data.data32[2] = Window;
    xcb_send_event(Connection, 0, Manager, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&dock));
    xcb_flush(Connection);
}

void XEmbedTrayShell::DestroyWindow()
{
    FreePictures();
    if (WindowPicture != XCB_NONE)
        xcb_render_free_picture(Connection, WindowPicture);
    if (Window != XCB_NONE)
        xcb_destroy_window(Connection, Window);
    if (Colormap != XCB_NONE)
        xcb_free_colormap(Connection, Colormap);
    WindowPicture = XCB_NONE;
    Window = XCB_NONE;
    Colormap = XCB_NONE;
    Hovering = false;
    xcb_flush(Connection);
}

void XEmbedTrayShell::FreePictures()
{
    for (const auto& [key, picture] : Pictures)
        xcb_render_free_picture(Connection, picture);
    Pictures.clear();
}

xcb_render_picture_t XEmbedTrayShell::PictureOf(const QIcon& icon)
{
    const auto found = Pictures.find(icon.cacheKey());
    if (found != Pictures.end())
        return found->second;
    if (Pictures.size() >= KeptPictures)
        FreePictures();
    const int side = std::min(Width, Height);
    const QImage image =
        icon.pixmap(QSize(side, side), 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return XCB_NONE;
    const xcb_pixmap_t pixmap = xcb_generate_id(Connection);
    xcb_create_pixmap(Connection, 32, pixmap, Screen->root, static_cast<std::uint16_t>(image.width()),
                      static_cast<std::uint16_t>(image.height()));
    const xcb_gcontext_t gc = xcb_generate_id(Connection);
    xcb_create_gc(Connection, gc, pixmap, 0, nullptr);
    xcb_put_image(Connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(image.width()),
                  static_cast<std::uint16_t>(image.height()), 0, 0, 0, 32,
                  static_cast<std::uint32_t>(image.sizeInBytes()), image.constBits());
    xcb_free_gc(Connection, gc);
    const xcb_render_picture_t picture = xcb_generate_id(Connection);
    xcb_render_create_picture(Connection, picture, pixmap, Argb32, 0, nullptr);
    xcb_free_pixmap(Connection, pixmap); // the picture keeps it
    Pictures.emplace(icon.cacheKey(), picture);
    return picture;
}

void XEmbedTrayShell::Paint()
{
    if (Window == XCB_NONE || Shown.isNull())
        return;
    const xcb_render_picture_t picture = PictureOf(Shown);
    if (picture == XCB_NONE)
        return;
    const int side = std::min(Width, Height);
    xcb_clear_area(Connection, 0, Window, 0, 0, 0, 0);
    xcb_render_composite(Connection, XCB_RENDER_PICT_OP_OVER, picture, XCB_NONE, WindowPicture, 0, 0, 0, 0,
                         static_cast<std::int16_t>((Width - side) / 2), static_cast<std::int16_t>((Height - side) / 2),
                         static_cast<std::uint16_t>(side), static_cast<std::uint16_t>(side));
    xcb_flush(Connection);
}

bool XEmbedTrayShell::NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& data, const QIcon& image)
{
    if (message == win::NIM_DELETE || (message == win::NIM_MODIFY && !Added)) {
        const bool was = Added;
        if (message == win::NIM_DELETE) {
            Added = false;
            DestroyWindow();
        }
        return was;
    }
    if (message != win::NIM_ADD && message != win::NIM_MODIFY)
        return false;
    if (data.uFlags & win::NIF_ICON && image.cacheKey() != Shown.cacheKey()) {
        Shown = image;
        Paint();
    }
    if (data.uFlags & win::NIF_TIP)
        ApplyTip(LongTip.isEmpty() ? QString::fromUtf8(data.szTip) : LongTip);
    if (message == win::NIM_ADD) {
        Callback = data.uCallbackMessage;
        if (!Added) {
            Added = true;
            Dock(); // without a tray now, as soon as one appears
        }
        return TrayAvailable();
    }
    return true;
}

void XEmbedTrayShell::ApplyTip(const QString& tip)
{
    if (tip == Tip)
        return;
    Tip = tip;
    if (Hovering)
        QToolTip::showText(QCursor::pos(), Tip);
}

void XEmbedTrayShell::ShowLongTip(const QString& tip)
{
    LongTip = tip;
    if (!tip.isEmpty())
        ApplyTip(tip);
}

void XEmbedTrayShell::ShowBalloon(const QString& title, const QString& text)
{
    if (Window == XCB_NONE)
        return;
    const auto place = Take(xcb_translate_coordinates_reply(
        Connection, xcb_translate_coordinates(Connection, Window, Screen->root, 0, 0), nullptr));
    if (!place)
        return;
    if (!Balloon) {
        Balloon = std::make_unique<QLabel>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
        Balloon->setObjectName(QStringLiteral("TrayBalloon"));
        Balloon->setTextFormat(Qt::RichText);
        Balloon->setMargin(8);
    }
    Balloon->setText(QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped()));
    Balloon->adjustSize();
    const qreal ratio = qApp->devicePixelRatio();
    const QPoint icon(static_cast<int>(place->dst_x / ratio), static_cast<int>(place->dst_y / ratio));
    Balloon->move(icon - QPoint(Balloon->width() - static_cast<int>(Width / ratio), -static_cast<int>(Height / ratio)));
    Balloon->show();
    QTimer::singleShot(8000, Balloon.get(), &QWidget::hide);
}

void XEmbedTrayShell::Drain()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(Connection)) {
        Handle(event);
        std::free(event);
    }
    // A connection the server has closed stays readable: it is not watched any more.
    if (xcb_connection_has_error(Connection) != 0) {
        Events->setEnabled(false);
        Manager = XCB_NONE;
    }
}

void XEmbedTrayShell::Handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7F) {
    case XCB_EXPOSE:
        if (reinterpret_cast<const xcb_expose_event_t*>(event)->window == Window)
            Paint();
        break;
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->window == Window && (configure->width != Width || configure->height != Height)) {
            Width = configure->width;
            Height = configure->height;
            FreePictures(); // drawn again at the size the tray gives
            Paint();
        }
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        // The tray went away and the server gave the icon back to the root window: it waits,
        // unseen, for the next tray.
        const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        if (reparent->window == Window && reparent->parent == Screen->root) {
            xcb_unmap_window(Connection, Window);
            xcb_flush(Connection);
        }
        break;
    }
    case XCB_DESTROY_NOTIFY:
        if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == Manager && Manager != XCB_NONE)
            Manager = XCB_NONE;
        break;
    case XCB_CLIENT_MESSAGE: {
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (message->type == ManagerAtom && message->data.data32[1] == Selection) {
            FindManager();
            if (Added)
                Dock();
        }
        break;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        if (reinterpret_cast<const xcb_button_press_event_t*>(event)->event == Window)
            Button(reinterpret_cast<const xcb_button_press_event_t*>(event),
                   (event->response_type & 0x7F) == XCB_BUTTON_PRESS);
        break;
    case XCB_ENTER_NOTIFY:
        Hovering = true;
        if (!Tip.isEmpty())
            QToolTip::showText(QCursor::pos(), Tip);
        break;
    case XCB_LEAVE_NOTIFY:
        Hovering = false;
        QToolTip::hideText();
        break;
    default:
        break;
    }
}

void XEmbedTrayShell::Button(const xcb_button_press_event_t* event, bool pressed)
{
    if (!OnNotify)
        return;
    win::UINT down = 0;
    win::UINT up = 0;
    win::UINT twice = 0;
    switch (event->detail) {
    case XCB_BUTTON_INDEX_1:
        down = win::WM_LBUTTONDOWN, up = win::WM_LBUTTONUP, twice = win::WM_LBUTTONDBLCLK;
        break;
    case XCB_BUTTON_INDEX_2:
        down = win::WM_MBUTTONDOWN, up = win::WM_MBUTTONUP, twice = win::WM_MBUTTONDBLCLK;
        break;
    case XCB_BUTTON_INDEX_3:
        down = win::WM_RBUTTONDOWN, up = win::WM_RBUTTONUP, twice = win::WM_RBUTTONDBLCLK;
        break;
    default:
        return; // the wheel
    }
    QToolTip::hideText();
    if (!pressed) {
        OnNotify(Callback, up);
        return;
    }
    const auto interval = static_cast<xcb_timestamp_t>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    const bool second = event->detail == LastButton && event->time - LastPress <= interval;
    LastButton = second ? 0 : event->detail; // a third press starts again
    LastPress = event->time;
    OnNotify(Callback, second ? twice : down);
}

} // namespace

std::unique_ptr<ITrayShell> MakeXEmbedTrayShell()
{
    return XEmbedTrayShell::Connect();
}

} // namespace pulo
