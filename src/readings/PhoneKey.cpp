#include "readings/PhoneKey.h"

#include <phonenumbers/phonenumberutil.h>

#include <string>

QString phoneKey(QStringView text, QStringView region)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    const std::string utf8 = text.toString().toStdString();
    if (util->Parse(utf8, region.toString().toStdString(), &number) != PhoneNumberUtil::NO_PARSING_ERROR)
        return {};
    if (!util->IsPossibleNumber(number))
        return {};
    std::string e164;
    util->Format(number, PhoneNumberUtil::E164, &e164);
    return QString::fromStdString(e164);
}
