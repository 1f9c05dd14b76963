// Compresses a file with the peer: node implode.mjs INPUT OUTPUT binary|ascii small|medium|large
import fs from 'node:fs'
import { pipeline } from 'node:stream/promises'
import { implode, stream, Compression, DictionarySize } from 'node-pkware'

const [input, output, coding, size] = process.argv.slice(2)
const compression = { binary: Compression.Binary, ascii: Compression.Ascii }[coding]
const dictionary = {
  small: DictionarySize.Small,
  medium: DictionarySize.Medium,
  large: DictionarySize.Large,
}[size]
await pipeline(
  fs.createReadStream(input),
  stream.through(implode(compression, dictionary)),
  fs.createWriteStream(output),
)
