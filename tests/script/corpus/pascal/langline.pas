#language BasicScript
Out("basic")
