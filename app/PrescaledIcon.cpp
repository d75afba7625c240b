#include "app/PrescaledIcon.h"

#include <QImage>
#include <QPixmap>

namespace pulo {

QIcon PrescaledIcon(const QString& resource)
{
    const QImage image(resource);
    QIcon icon;
    if (image.isNull())
        return icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(
            QPixmap::fromImage(image.size() == QSize(size, size)
                                   ? image
                                   : image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return icon;
}

} // namespace pulo
