"""A short end-to-end run of the library."""

import valtorimesca

print("SHRINCS profile:", valtorimesca.profile_name())
