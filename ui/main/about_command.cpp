#include "ui/main/about_command.h"

#include "ui/about/form2.h"
#include "ui/window_placement.h"

void aboutCommand(QWidget &form1, QPointer<Form2> &form2) {
    if (!form2) {
        form2 = new Form2;
        QObject::connect(form2, &Form2::backRequested, &form1,
                         [&form1, &form2, place = form1.geometry().topLeft()] {
                             backCommand(form1, form2, place);
                         });
    }
    centreOn(*form2, form1);
    // The window to be seen comes first, so that there is never a moment with none.
    form2->show();
    form1.hide();
}

void backCommand(QWidget &form1, QPointer<Form2> &form2, QPoint place) {
    showAt(form1, place);
    form2.clear();
}
