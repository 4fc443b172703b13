import core.engine
import	import_tab
  import not.at.start
import a.b.c // comment
import x
important stuff
import ../outside
