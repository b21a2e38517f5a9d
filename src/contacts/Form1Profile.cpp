#include "contacts/Form1.h"

#include "profile/Form3.h"
#include "shell/BasCommn.h"

void Form1::ComMyData_Click()
{
    // The next search starts again from the first row.
    SearchText.clear();
    {
        Form3 form(this);
        form.exec();
    }
    CurrentFormName = QStringLiteral("Form1");
}
