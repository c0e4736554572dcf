# Writes the prefecture polygons of the 'japan' database of the R package
# mapdata as plain text: a line "> Name" before each ring, then "lon lat"
# lines.  Usage: Rscript export_prefectures.R OUTPUT
library(maps)
library(mapdata)
args <- commandArgs(trailingOnly = TRUE)
m <- map("japan", fill = TRUE, plot = FALSE)
out <- file(args[1], "w")
brk <- c(0, which(is.na(m$x)), length(m$x) + 1)
for (i in seq_along(m$names)) {
  s <- brk[i] + 1
  e <- brk[i + 1] - 1
  nm <- sub(":.*$", "", m$names[i])
  writeLines(paste(">", nm), out)
  writeLines(sprintf("%.5f %.5f", m$x[s:e], m$y[s:e]), out)
}
close(out)
