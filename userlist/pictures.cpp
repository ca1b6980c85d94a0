// PLACEHOLDER: replaced by the pictures implementation.
#include "userlist/pictures.h"
QSize ProductPictureSize(int k) { return {28, (k == 8 || k == 9 || k == 11) ? 13 : 14}; }
QPixmap ProductPicture(int k, qreal) { QPixmap p(ProductPictureSize(k)); p.fill(Qt::gray); return p; }
QIcon WindowIcon() { return {}; }
